// Stands in for the Scene's GL light-volume upload in the unit tests (no display) and counts calls.
#include "app/Scene.h"

int lightUploadCount = 0;

void Scene::uploadLightVolume() { ++lightUploadCount; }
