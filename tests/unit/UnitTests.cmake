# The unit tests' one source list (paths under tests/unit/): the desktop build runs them with
# ctest, the page build under Node (web/CMakeLists.txt).
set(QUILLMARSH_UNIT_TEST_SOURCES
  BodyTest.cpp
  ColorMapVisibilityTest.cpp
  CommandLineTest.cpp
  FileWriterTest.cpp
  FramePlanTest.cpp
  FrameRecipeTest.cpp
  LightGridSparseStepTest.cpp
  LightGridStepTest.cpp
  LightUploadTest.cpp
  ImageHeaderTest.cpp
  MapImageTest.cpp
  RoomEditTest.cpp
  SceneUpdateTest.cpp
  ScreenViewTest.cpp
  ViewCameraTest.cpp
  VoxFileTest.cpp
  WorldBuilderTest.cpp)
