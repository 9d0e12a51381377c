// Unit tests run without a display: this stands in for the GL light-volume upload that the
// Scene update runs after each simulation step, and counts the calls so tests can check them.
#include "tests/unit/LightUploadSeam.h"

#include "app/Scene.h"

int lightUploadCount = 0;

void Scene::uploadLightVolume() { ++lightUploadCount; }
