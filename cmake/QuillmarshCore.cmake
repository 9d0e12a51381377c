# The core's one source list: the grid, the step, the world, the edits, the cameras, the frame
# plan and recipe and the Scene, with no graphics API. The desktop build and the page build
# (web/) both make their core libraries from it and add only their picture decoders.
set(QUILLMARSH_CORE_SOURCES
  platform/Clock.cpp
  platform/FileReader.cpp
  platform/FileWriter.cpp
  platform/WorkerPool.cpp
  platform/image/Image.cpp
  platform/image/ImageHeader.cpp
  platform/image/PngImageData.cpp
  world/CellFromColour.cpp
  world/CellPick.cpp
  world/ColorMap.cpp
  world/GridCell.cpp
  world/LightGrid.cpp
  world/Matrix4.cpp
  world/RoomColumn.cpp
  world/Palette.cpp
  world/RoomEditor.cpp
  world/VoxFile.cpp
  world/VoxRoom.cpp
  world/WorldBuilder.cpp
  sim/ColorMapVisibility.cpp
  sim/LightGridStep.cpp
  render/FrameInputs.cpp
  render/FramePlan.cpp
  render/FrameRecipe.cpp
  render/Frustum.cpp
  render/OverlayLayout.cpp
  app/CommandLine.cpp
  app/Controls.cpp
  app/FlyCamera.cpp
  app/FrameStats.cpp
  app/FrameTimer.cpp
  app/Input.cpp
  app/MouseDrag.cpp
  app/RoomMapFile.cpp
  app/Scene.cpp
  app/SceneEdit.cpp
  app/SceneWorld.cpp
  app/ScreenView.cpp
  app/TextFit.cpp
  app/ViewCamera.cpp)

# Adds the core library `name` from the sources under `root`, with the options every build of
# it needs; the caller links the picture decoder and the threads library of its platform.
function(quillmarsh_add_core name root)
  list(TRANSFORM QUILLMARSH_CORE_SOURCES PREPEND ${root}/ OUTPUT_VARIABLE sources)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${root})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  # The light step must round every sum and product on its own; fused multiply-adds change its
  # results. Public, so tests and benchmarks that restate the rule compute it the same way.
  target_compile_options(${name} PUBLIC -ffp-contract=off)
endfunction()
