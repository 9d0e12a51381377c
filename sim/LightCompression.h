// Light values are unbounded; the light volume texture stores each component as c / (c + 1),
// so zero stays 0, a light of 1 becomes 0.5 and bright light approaches 1.
#pragma once

inline float compressLight(float c) { return c / (c + 1.0f); }
