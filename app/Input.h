// Keys and mouse as the Scene's commands, for every entry point: movement keys act while held,
// space jumps and Ctrl+Z / Ctrl+S act on the press, every other command once on the key's
// release; a key pressed again while down (auto-repeat) does nothing. A drag turns the view; a
// left click removes the picked cell, a right click places the selected material against the
// picked face, each on the whole column with Shift; a middle click selects the picked cell's
// material, the wheel steps through the palette. Window coordinates are pixels, y down.
#pragma once

class Scene;

namespace input {

// A key as the window toolkit reports it: a character, Control with a letter as its control
// code on the press and as the letter on the release.
void keyDown(Scene& scene, unsigned char key);
void keyUp(Scene& scene, unsigned char key);
// The key let go without its release acting: a key taken plainly and let go of with a modifier
// the page leaves to the browser still stops what it held.
void keyLetGo(Scene& scene, unsigned char key);
// F1: the key card's next page, or hidden after the last.
void keyCard(Scene& scene);
// button 0 = left, 1 = middle, 2 = right, 3 and 4 the wheel's notch up and down (one press
// each); `down` for a press; `shift` while Shift is held.
void mouse(Scene& scene, int button, bool down, int x, int y, bool shift = false);
// The mouse moved with a button held.
void motion(Scene& scene, int x, int y);

}  // namespace input
