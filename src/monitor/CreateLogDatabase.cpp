#include "monitor/CreateLogDatabase.h"

#include "common/Prompts.h"
#include "external/logdb/LogDb.h"

namespace tavrel {

bool CreateLogDatabase(Prompts& prompts, const QString& path) {
    LogDb db;
    if (db.create(path)) {
        return true;
    }
    prompts.message(db.lastError().description);
    return false;
}

}  // namespace tavrel
