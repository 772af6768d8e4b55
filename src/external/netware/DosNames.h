#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace tavrel {

// True when a name is a valid DOS (8.3) name in any letter case: a stem of 1 to 8 and an
// optional extension of up to 3 characters, with none of the characters DOS refuses.
bool fitsDosName(QStringView name);

// The DOS names of the entries of one directory, given in directory order. given[i], when
// not empty, is entry i's own DOS name. Others: a name that fits 8.3 is itself in
// capitals; any other becomes the first six characters of its stem, "~1" and the first
// three of its extension, with "~2", "~3" ... (and a shorter stem from "~10" on) when an
// earlier entry already has that name.
QStringList dosNamesOf(const QStringList& names, const QStringList& given);

}  // namespace tavrel
