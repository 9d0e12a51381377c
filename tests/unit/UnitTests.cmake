# The unit tests' sources, relative to tests/unit/: the desktop build's unit_tests and the page
# build's web_unit_tests (web/CMakeLists.txt, run under Node) are both made from this one list.
set(QUILLMARSH_UNIT_TEST_SOURCES
  ColorMapVisibilityTest.cpp
  ControlsTest.cpp
  FramePlanTest.cpp
  FrustumTest.cpp
  LightGridStepTest.cpp
  LightUploadSeam.cpp
  ImageHeaderTest.cpp
  MapImageTest.cpp
  RoomEditTest.cpp
  SceneUpdateTest.cpp
  ViewCameraTest.cpp
  WorldBuilderTest.cpp)
