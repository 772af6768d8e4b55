#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tavrel {

class Clock;
class Platform;
class Prompts;
class ResultSet;

// The query window's three exports of the current result set: print, copy to the
// clipboard and save as a CSV file in the program's folder. None moves the window's
// current record; after a saved file the window makes the first record current.
class QueryExports {
public:
    // setBusy shows or hides the busy pointer; messages are shown with it hidden.
    QueryExports(Prompts& prompts, Platform& platform, Clock& clock, QString appFolder,
                 std::function<void(bool)> setBusy = {});

    // The status text after printing, or after writing the PDF where there is no printer.
    QString printRecords(ResultSet& result, const QString& statementText);
    // The status text, or nothing when the operator copied nothing (a spaces answer out
    // of range is a status text saying the range).
    std::optional<QString> copyRecords(ResultSet& result);
    // The file written, or nothing (the operator cancelled, or was told what went wrong).
    std::optional<QString> saveCsv(ResultSet& result);
    // Asks whether to open the file written and opens it with the desktop's program.
    void offerToOpen(const QString& path);

    // Error numbers of the old file functions, kept in the messages operators know.
    static constexpr int kBadFileName = 52;
    static constexpr int kDiskFull = 61;
    static constexpr int kPermissionDenied = 70;
    static constexpr int kPathFileAccess = 75;

private:
    void busy(bool on) const;
    void showError(int number, const QString& description);

    Prompts& m_prompts;
    Platform& m_platform;
    Clock& m_clock;
    QString m_appFolder;
    std::function<void(bool)> m_setBusy;
};

}  // namespace tavrel
