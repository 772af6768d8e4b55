#pragma once

#include <QString>

namespace tavrel {

class Prompts;

// Creates the usage log database file at path with its table Log (a file that exists
// but lacks the table gets it). On an error shows the error's description in one message
// box (OK only, no icon, the program's title) and returns false; the file, when it was
// something else, is left as it was.
bool CreateLogDatabase(Prompts& prompts, const QString& path);

}  // namespace tavrel
