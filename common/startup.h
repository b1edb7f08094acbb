// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;

// The tool's translation from the current directory, or else the installed
// one for the desktop's language, and Qt's own with it; the default locale is
// Russian. Needs the application object.
void installTranslations();

// Where no display can be reached, a window cannot open: returns the text that
// tells the user how to run the tool instead, or an empty string. A platform
// chosen on the command line ("-platform X", "-platform=X") counts like one
// chosen by QT_QPA_PLATFORM.
QString missingDisplayMessage(int argc, const char *const *argv);
