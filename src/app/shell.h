// shell.h - what the show's window does with each kind of event: creation
// runs the start-up load, a size change sets the first projection, Escape
// ends the show, destruction stops the music. The frames themselves are the
// player's (advanceFrame, then drawFrame where one is seen).
#pragma once

// Start-up load, with the main context current.
void shellCreate();
// The whole start of a show in a window just opened: the load, then
// loaded() (the platform's turn), the first projection for the picture's
// size and the player's first saved state.
void shellStart(void (*loaded)());
// Viewport and default projection for a drawable of width x height.
void shellSize(int width, int height);
// A key press; 27 (Escape) ends the show with exit code 0.
void shellKey(int key);
// The window is going away: stop the music, end the show.
void shellDestroy();
