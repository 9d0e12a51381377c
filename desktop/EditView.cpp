// The crosshair, the picked cell's outline, the hint line and the key card, drawn over the
// finished frame in window pixels (origin lower left) with GLUT's bitmap fonts.
#include "app/EditView.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Utils/MatrixScope.h"
#include "app/Controls.h"
#include "app/Scene.h"
#include "app/TextFit.h"
#include "world/LightGrid.h"

bool keyCardVisible = false;
bool anyKeyPressed = false;

namespace {

// The crosshair and the outline: light grey, apart from the white of the visibility overlay.
constexpr GLubyte kMarkGrey = 230;
void* const kFont = GLUT_BITMAP_8_BY_13;
constexpr int kCharWidth = 8;
constexpr int kLineHeight = 16;

// The picked cell's faces turned to the eye, as lines, a little outside the cube so the frame's
// own edges do not hide them. Needs the view matrix on the model-view stack.
void drawOutline(const CellPick& pick) {
  // A floor or ceiling cell shows only the face the ray met; its sides lie inside the slab.
  const bool faceOnly = pick.normal[1] != 0;
  const float h = 0.51f;
  const float x = static_cast<float>(pick.cell[0]), y = static_cast<float>(pick.cell[1]),
              z = static_cast<float>(pick.cell[2]);
  // Each face counter-clockwise seen from outside, so culling keeps the ones facing the eye.
  static const float corners[6][4][3] = {
      {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},      {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
      {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},      {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
      {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},      {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}};
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glLineWidth(2.0f);
  glColor3ub(kMarkGrey, kMarkGrey, kMarkGrey);
  glBegin(GL_QUADS);
  for (int f = 0; f < 6; ++f) {
    if (faceOnly && f != (pick.normal[1] > 0 ? 2 : 3)) continue;
    for (const auto& c : corners[f]) glVertex3f(x + h * c[0], y + h * c[1], z + h * c[2]);
  }
  glEnd();
  glLineWidth(1.0f);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);
}

// A light grey cross with a gap at the centre, around a small square of the selected kind's colour.
void drawCrosshair(int width, int height) {
  const int cx = width / 2, cy = height / 2;
  glColor3ub(kMarkGrey, kMarkGrey, kMarkGrey);
  glBegin(GL_LINES);
  for (const int sign : {-1, 1}) {
    glVertex2i(cx + sign * 5, cy);
    glVertex2i(cx + sign * 12, cy);
    glVertex2i(cx, cy + sign * 5);
    glVertex2i(cx, cy + sign * 12);
  }
  glEnd();
  glRecti(cx - 4, cy - 4, cx + 4, cy + 4);
  const mapcolour::Rgb c = columnColour(scene.selectedKind);
  glColor3ub(static_cast<GLubyte>(c.r), static_cast<GLubyte>(c.g), static_cast<GLubyte>(c.b));
  glRecti(cx - 3, cy - 3, cx + 3, cy + 3);
}

void drawText(int x, int y, const std::string& text) {
  glRasterPos2i(x, y);
  for (const char c : text) glutBitmapCharacter(kFont, c);
}

// Lines of text on a half-dark box whose top edge is at `top`, `margin` pixels in from the left.
void drawTextBox(const std::vector<std::string>& lines, int left, int top, int boxWidth) {
  const int boxHeight = static_cast<int>(lines.size()) * kLineHeight + 8;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
  glRecti(left, top - boxHeight, left + boxWidth, top);
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  for (size_t i = 0; i < lines.size(); ++i)
    drawText(left + 8, top - 4 - kLineHeight * static_cast<int>(i + 1) + 4, lines[i]);
}

// The key card: every entry of the key list, wrapped where the window is narrow.
void drawKeyCard(int width, int height) {
  const size_t maxChars = static_cast<size_t>(std::max(16, (width - 40) / kCharWidth));
  std::vector<std::string> lines{"Keys and mouse (F1 hides this card)", ""};
  for (const std::string& line : controls::keyLines()) {
    // A line that fits keeps its column of effects; only a narrow window wraps it.
    if (line.size() <= maxChars) {
      lines.push_back(line);
      continue;
    }
    for (const std::string& part : fitText(line, maxChars)) lines.push_back(part);
  }
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  const int boxWidth = static_cast<int>(longest) * kCharWidth + 16;
  const int boxHeight = static_cast<int>(lines.size()) * kLineHeight + 8;
  drawTextBox(lines, std::max(0, (width - boxWidth) / 2), std::min(height, (height + boxHeight) / 2),
              boxWidth);
}

// The first-minute line near the bottom of the window.
void drawHint(int width) {
  const std::string text = "The room is dark: press 0 to raise the light, F1 for the keys";
  std::vector<std::string> lines = fitText(text, static_cast<size_t>(std::max(16, (width - 24) / kCharWidth)));
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  const int boxWidth = static_cast<int>(longest) * kCharWidth + 16;
  drawTextBox(lines, std::max(0, (width - boxWidth) / 2),
              static_cast<int>(lines.size()) * kLineHeight + 8 + 24, boxWidth);
}

}  // namespace

void drawEditView(int width, int height) {
  // The frame's state stays as the passes left it (the current colour included).
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_LINE_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  if (scene.pick.hit) {
    MatrixScope modelView(GL_MODELVIEW);
    glLoadMatrixf(scene.camera.glViewMatrix);
    drawOutline(scene.pick);
  }
  {
    MatrixScope projection(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    MatrixScope modelView(GL_MODELVIEW);
    glLoadIdentity();
    drawCrosshair(width, height);
    if (!anyKeyPressed && scene.grid != nullptr && scene.grid->strength == 0.0f) drawHint(width);
    if (keyCardVisible) drawKeyCard(width, height);
  }
  glPopAttrib();
}
