#pragma once

#include <QString>

#include "external/logdb/LogDb.h"

namespace tavrel {

// A text to run as exactly one statement: the statement itself (up to its last word, with
// no closing ";" or comment after it), or why the text cannot run: it holds none (only
// spaces and comments), or a second statement follows the first ";" (comments and further
// ";" after it are allowed). Quoted texts and names, comments and, for PostgreSQL, E'...'
// texts, $tag$ texts and nested comments are read as the engine reads them, so a ";"
// inside them ends nothing.
struct SingleStatement {
    QString statement;
    QString error;  // empty when the text holds one statement
};
SingleStatement singleStatement(const QString& text, LogDb::Engine engine);

}  // namespace tavrel
