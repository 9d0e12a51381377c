// The stages of one frame, in the order drawFrame runs them, and the hook a caller may have run
// after each: the frame benchmark finishes the GL work there and reads its clock.
#pragma once

enum class FrameStage { View, Plan, Opaque, Emitter, Glass, Present };

// Called with the stage just sent and the caller's context.
using FrameStageHook = void (*)(FrameStage stage, void* context);
