// Number of light-volume uploads the Scene update has asked for in this unit test binary.
#pragma once

extern int lightUploadCount;
