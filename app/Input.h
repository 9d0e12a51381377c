// Keyboard and mouse callbacks: movement keys act while held, space jumps and Ctrl+Z / Ctrl+S
// act on the press, every other command once on the key's release (auto-repeat is switched off
// in main). A drag turns the view; a left click clears, a right click fills a column (Scene).
// Window coordinates are pixels, y down.
#pragma once

void onKeyDown(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
// button 0 = left, 2 = right; state 0 = down, 1 = up.
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onPassiveMotion(int x, int y);
