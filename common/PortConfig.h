#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/CommonError.h"
#include "common/ProfileFile.h"

namespace uhf {

// The serial port list and the settings file "System.ini" beside the running executable,
// shared by both tools. The settings file remembers the download tool's chosen port, its two
// baud-rate choices (all three as list indexes) and its firmware path.
//
// When the executable's folder cannot be written (an installed program, a read-only share),
// the file lives in the user's configuration folder instead (UserConfigFolder), and is read
// from there too. A settings file saved with its section name in UTF-8 is read as the same
// section; what is written is always GBK.
//
// A read that finds no characters fails and puts back the default of every key that is
// missing or empty; keys that hold a value are never overwritten by a read.
class PortConfig {
  public:
    // The settings section "串口设置", always stored as these GBK bytes so that the file moves
    // between the Windows and the Linux tool unchanged.
    static constexpr unsigned char kSectionBytes[] = {0xB4, 0xAE, 0xBF, 0xDA,
                                                      0xC9, 0xE8, 0xD6, 0xC3};
    // The same name as a Linux text editor saves it, in UTF-8.
    static constexpr unsigned char kUtf8SectionBytes[] = {0xE4, 0xB8, 0xB2, 0xE5, 0x8F, 0xA3,
                                                          0xE8, 0xAE, 0xBE, 0xE7, 0xBD, 0xAE};
    static constexpr std::string_view kFileName = "System.ini";
    static constexpr std::string_view kPortKey = "Port";
    static constexpr std::string_view kDeviceBaudKey = "DeviceBaud";
    static constexpr std::string_view kDownBaudKey = "DownBaud";
    static constexpr std::string_view kFilePathKey = "DownloadFilePath";
    static constexpr std::size_t kIndexBufferSize = 260;
    static constexpr std::size_t kPathBufferSize = 100;

    // Settings beside the running executable, ports from the system.
    PortConfig();
    // executableDir ends with a path separator; portSource returns the port names in order, an
    // empty list meaning none. The fallback folder is the user's, named after this program.
    PortConfig(std::string executableDir, std::function<std::vector<std::string>()> portSource);
    // userConfigDir (ending in a separator, or empty for none) holds the file when
    // executableDir cannot be written; it is made when the first value is written.
    PortConfig(std::string executableDir, std::string userConfigDir,
               std::function<std::vector<std::string>()> portSource);

    std::string iniPath;

    // The executable's folder followed by fileName.
    std::string BuildPath(const std::string& fileName) const;

    // Empties ports and fills it in the order the system gives; true when there is one or more.
    bool ListPorts(std::vector<std::string>& ports);

    // "DeviceBaud" then "DownBaud"; true only when both were read. A value filled before a
    // failure stays filled.
    bool ReadBaudIndexes(int& deviceBaud, int& downBaud);
    bool ReadPortIndex(int& port);
    // At most 99 bytes of "DownloadFilePath", in UTF-8, never cut inside a character. A stored
    // path that is not valid UTF-8 is read in the ANSI code page (GBK on Linux).
    bool ReadFilePath(std::string& path);

    // Writes value under key in the settings section; a "DownloadFilePath" in the ANSI code page
    // where the path fits it, else in UTF-8. A failed write is not reported here; LastError
    // tells it.
    void WriteValue(const std::string& key, const std::string& value);
    // "Port" = "0", "DeviceBaud" = "0", "DownBaud" = "0", "DownloadFilePath" = " ".
    void WriteDefaults();

    // Why the last read, write or port listing did not do its work.
    CommonError LastError() const { return lastError; }

    // Called once, with a line for the user, the first time a value could not be saved (a
    // read-only file, a folder that cannot be written); later failures only set LastError.
    void SetNoticeHandler(std::function<void(const std::string&)> handler);

    static std::string SectionName();

  private:
    ProfileFile& Settings();
    bool ReadKey(std::string_view key, std::size_t bufferSize, std::string& value);
    void WriteMissingDefaults();

    std::string executableDir;
    std::string settingsDir;
    std::function<std::vector<std::string>()> portSource;
    std::function<void(const std::string&)> notice;
    bool noticeGiven = false;
    ProfileFile profile;
    CommonError lastError = CommonError::None;
};

}  // namespace uhf
