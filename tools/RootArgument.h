// The tools' "--root DIR" argument: files are read relative to the working directory, as the
// program reads them, and DIR moves there first.
#pragma once

// Takes "--root DIR" out of the arguments and makes DIR the working directory. False, with a
// message on standard error, when DIR cannot be entered.
bool enterRoot(int& argc, char** argv);
