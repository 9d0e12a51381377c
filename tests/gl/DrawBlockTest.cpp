// Scene::drawBlock captured through GL feedback mode: positions (window space, mapped back to
// world units through a known orthographic view), lit colours (which reveal the normals) and
// texture coordinates of every polygon the cube emits.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/Scene.h"

namespace {

// World x and y in [0, 8] fill an 800 x 800 viewport; world z in [-8, 8] maps to depth 1..0.
constexpr float kWorld = 8.0f;
constexpr float kPixels = 800.0f;

struct FeedbackVertex {
  float pos[3];
  float color[4];
  float tex[2];
};
using Polygon = std::vector<FeedbackVertex>;

// Three coloured directional lights, one along each axis (sign +1 or -1), so a face's lit colour
// is (max(n.x, 0) * sign, ...) channel by channel: red for x, green for y, blue for z.
void setAxisLights(float sign) {
  const GLfloat black[4] = {0, 0, 0, 1};
  const GLfloat white[4] = {1, 1, 1, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
  for (int axis = 0; axis < 3; ++axis) {
    const GLenum light = GL_LIGHT0 + axis;
    GLfloat direction[4] = {0, 0, 0, 0};
    direction[axis] = sign;
    GLfloat colour[4] = {0, 0, 0, 1};
    colour[axis] = 1.0f;
    glLightfv(light, GL_POSITION, direction);  // w = 0: directional, taken with identity view
    glLightfv(light, GL_DIFFUSE, colour);
    glLightfv(light, GL_AMBIENT, black);
    glLightfv(light, GL_SPECULAR, black);
    glEnable(light);
  }
  glEnable(GL_LIGHTING);
}

// Draws one block in feedback mode and returns its polygons with positions in world units.
std::vector<Polygon> captureBlock(Scene& scene, float x, float y, float z, float lightSign) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glViewport(0, 0, static_cast<GLsizei>(kPixels), static_cast<GLsizei>(kPixels));
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, kWorld, 0.0, kWorld, -kWorld, kWorld);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  setAxisLights(lightSign);

  std::vector<GLfloat> buffer(4096);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  scene.drawBlock(x, y, z);
  const GLint count = glRenderMode(GL_RENDER);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();

  std::vector<Polygon> polygons;
  EXPECT_GT(count, 0) << "feedback buffer overflowed or nothing was drawn";
  GLint i = 0;
  while (i < count) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    EXPECT_EQ(token, GL_POLYGON_TOKEN);
    if (token != GL_POLYGON_TOKEN) break;
    const int n = static_cast<int>(buffer[i++]);
    Polygon polygon;
    for (int v = 0; v < n; ++v) {
      const GLfloat* f = &buffer[i];
      FeedbackVertex vertex;
      vertex.pos[0] = f[0] * kWorld / kPixels;
      vertex.pos[1] = f[1] * kWorld / kPixels;
      vertex.pos[2] = kWorld * (1.0f - 2.0f * f[2]);
      for (int c = 0; c < 4; ++c) vertex.color[c] = f[3 + c];
      vertex.tex[0] = f[7] / f[10];
      vertex.tex[1] = f[8] / f[10];
      polygon.push_back(vertex);
      i += 11;
    }
    polygons.push_back(polygon);
  }
  return polygons;
}

// Which face a polygon lies on: axis 0..2 and side -1 or +1, from its constant coordinate.
struct Face {
  int axis = -1;
  int side = 0;
};

Face faceOf(const Polygon& polygon, const float centre[3], float h) {
  for (int a = 0; a < 3; ++a) {
    bool flat = true;
    for (const FeedbackVertex& v : polygon) {
      flat = flat && std::fabs(v.pos[a] - polygon[0].pos[a]) < 1e-4f;
    }
    if (!flat) continue;
    const float offset = polygon[0].pos[a] - centre[a];
    if (std::fabs(offset - h) < 1e-4f) return {a, +1};
    if (std::fabs(offset + h) < 1e-4f) return {a, -1};
  }
  return {};
}

// The texture coordinate each face gives a point on it: each face shows the texture once.
void expectedTexCoord(Face face, const float p[3], const float c[3], float h, float st[2]) {
  const auto grow = [&](int a) { return (p[a] - (c[a] - h)) / (2.0f * h); };
  const auto fall = [&](int a) { return ((c[a] + h) - p[a]) / (2.0f * h); };
  switch (face.axis) {
    case 2:  // +z and -z: s along x, t along y
      st[0] = grow(0);
      st[1] = grow(1);
      break;
    case 0:  // +x: s runs from z + h to z - h; -x: from z - h to z + h; t along y
      st[0] = face.side > 0 ? fall(2) : grow(2);
      st[1] = grow(1);
      break;
    default:  // +y and -y: s along x, t runs from z + h to z - h
      st[0] = grow(0);
      st[1] = fall(2);
      break;
  }
}

float polygonArea(const Polygon& polygon, int axis) {
  const int u = (axis + 1) % 3, w = (axis + 2) % 3;
  float twice = 0.0f;
  for (size_t k = 0; k < polygon.size(); ++k) {
    const FeedbackVertex& a = polygon[k];
    const FeedbackVertex& b = polygon[(k + 1) % polygon.size()];
    twice += a.pos[u] * b.pos[w] - b.pos[u] * a.pos[w];
  }
  return std::fabs(twice) * 0.5f;
}

int faceIndex(Face face) { return face.axis * 2 + (face.side > 0 ? 1 : 0); }

}  // namespace

// One scene throughout: a new blockHalfSize takes effect at the next call, and back again.
// Lights along +x, +y, +z (then -x, -y, -z) light only the faces facing them, one channel each,
// which shows each face's normal.
TEST(DrawBlock, SixFacesAtHalfEdgeInTableOrderWithTheirTextureSpansAndNormals) {
  Scene scene;
  const float centre[3] = {3.0f, 1.0f, 2.0f};
  for (float h : {0.45f, 0.5f, 0.45f})
    for (float sign : {1.0f, -1.0f}) {
      SCOPED_TRACE(::testing::Message() << "h = " << h << ", light sign " << sign);
      scene.blockHalfSize = h;
      float area[6] = {};
      std::vector<int> order;
      for (const Polygon& polygon : captureBlock(scene, centre[0], centre[1], centre[2], sign)) {
        const Face face = faceOf(polygon, centre, h);
        ASSERT_GE(face.axis, 0) << "polygon off the cube's faces";
        const int index = faceIndex(face);
        area[index] += polygonArea(polygon, face.axis);
        if (order.empty() || order.back() != index) order.push_back(index);
        for (const FeedbackVertex& v : polygon) {
          // Within the cube; faceOf has put the polygon on a face plane at +-h.
          for (int a = 0; a < 3; ++a) EXPECT_LE(std::fabs(v.pos[a] - centre[a]), h + 1e-4f);
          float st[2];
          expectedTexCoord(face, v.pos, centre, h, st);
          EXPECT_NEAR(v.tex[0], st[0], 1e-4f) << "s on face " << index;
          EXPECT_NEAR(v.tex[1], st[1], 1e-4f) << "t on face " << index;
          for (int channel = 0; channel < 3; ++channel) {
            const float lit = (channel == face.axis && face.side == sign) ? 1.0f : 0.0f;
            EXPECT_NEAR(v.color[channel], lit, 1e-3f) << "face " << index << " channel " << channel;
          }
        }
      }
      // +z, -z, -x, +x, +y, -y as face indices (axis * 2 + (side > 0)).
      EXPECT_EQ(order, (std::vector<int>{5, 4, 0, 1, 3, 2}));
      for (int f = 0; f < 6; ++f) EXPECT_NEAR(area[f], 4.0f * h * h, 1e-4f) << "face " << f;
    }
}
