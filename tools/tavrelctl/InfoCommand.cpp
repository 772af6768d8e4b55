#include "InfoCommand.h"

#include <QJsonDocument>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "external/netware/EmulatedNetWare.h"
#include "fileinfo/FileInfoReader.h"

namespace tavrel {

namespace {

const char* const kUsage =
    "Usage: tavrelctl info PATH [--json]\n"
    "\n"
    "Reads the extended information the file server keeps about a file on a network\n"
    "drive (G:\\APPS\\ORDERS.DBF) and prints it as the information window copies it: full\n"
    "path, path, dates, owner, last archiver and modifier, then the attributes set.\n"
    "--json prints every field by name instead: dates in ISO 8601 (null when there is\n"
    "none), attributes as a list of names, sizes and object IDs as numbers.\n"
    "Exit status 0 when the record was read, 1 when it could not be (the reason is\n"
    "printed), 2 for bad usage.\n";

constexpr int kDone = 0;
constexpr int kNotRead = 1;
constexpr int kBadUsage = 2;

}  // namespace

int runInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kUsage;
        return kDone;
    }
    const CommandArgs parsed(args, {QStringLiteral("json")}, {});
    if (!parsed.ok() || parsed.positional().size() != 1) {
        return badUsage("info",
                        !parsed.ok()                    ? parsed.error()
                        : parsed.positional().isEmpty() ? QStringLiteral("a path is needed")
                                                        : QStringLiteral("one path only"),
                        kUsage, err);
    }
    CtlSession session(err);
    if (!session.start()) {
        return kNotRead;
    }
    const QString path = parsed.positional().first();
    const FileInfoResult result = readFileInfo(session.netware(), session.netware(), path);
    if (result.failure != FileInfoFailure::None) {
        err << "tavrelctl info: " << fileInfoMessage(result.failure, path) << "\n";
        return kNotRead;
    }
    const FileInfoFields& fields = result.fields;
    if (parsed.has(QStringLiteral("json"))) {
        out << QJsonDocument(fileInfoJson(fields)).toJson(QJsonDocument::Indented);
        return kDone;
    }
    QString text = fileInfoCopyText(fields.FullPath, fields.FilePath, fields.texts(),
                                    attributeCaptions(fields.record.attributes));
    out << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return kDone;
}

}  // namespace tavrel
