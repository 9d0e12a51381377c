// FlyCamera: the body camera's reset, jump and per-frame update.
#include "app/FlyCamera.h"

FlyCamera::FlyCamera() : ViewCamera(Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(0, 1, 0)) {}
