#pragma once

#include <QString>

namespace tavrel {

class Clock;
class DriveMap;
class NetWareClient;
class Platform;
class Prompts;
class SettingsStore;

// The run's shared variables and the services every window and engine reaches the
// outside through. Created once by main (and once per test) and handed to everyone.
class AppContext {
public:
    AppContext(SettingsStore& settings, Clock& clock, Prompts& prompts, Platform& platform,
               NetWareClient& netware, DriveMap& drives)
        : m_settings(settings),
          m_clock(clock),
          m_prompts(prompts),
          m_platform(platform),
          m_netware(netware),
          m_drives(drives) {}

    SettingsStore& settings() const { return m_settings; }
    Clock& clock() const { return m_clock; }
    Prompts& prompts() const { return m_prompts; }
    Platform& platform() const { return m_platform; }
    NetWareClient& netware() const { return m_netware; }
    DriveMap& drives() const { return m_drives; }

    // Shared variables of the run; none is persisted.
    QString AppFolder;       // ends in the separator: log database, site file, exports, FAQ
    QString LastFileFolder;  // drive-letter form; where the file editor starts browsing
    QString InfoCallerForm;  // the window that opens the extended information window
    bool TreeScanned = false;
    QString SelectedNodeTag;
    QString SelectedNodeText;
    qint16 SelectedFileNumber = 0;
    bool EditMode = false;
    bool FileListChanged = false;

private:
    SettingsStore& m_settings;
    Clock& m_clock;
    Prompts& m_prompts;
    Platform& m_platform;
    NetWareClient& m_netware;
    DriveMap& m_drives;
};

}  // namespace tavrel
