// USRPreferences: the user's desktop preferences: the inbox update interval
// (minutes, 15 until read) and the directory proposed when a local file must
// be copied to a shared area.
#pragma once

#include <string>

class USRContext;

class USRPreferences {
  public:
    static constexpr long kDefaultMinutes = 15;

    explicit USRPreferences(USRContext& context) : context_(context) {}

    // A user who never stored preferences reads the defaults.
    bool read(long& error);
    bool write(long& error);
    // Reads, shows the preferences dialog, and on OK writes what changed;
    // failures are shown. True when the dialog ended with OK.
    bool runDialog();

    long updateMinutes() const { return minutes_; }
    void setUpdateMinutes(long minutes);
    const std::string& shareDirectory() const { return shareDir_; }
    void setShareDirectory(const std::string& dir) { shareDir_ = dir; }

  private:
    USRContext& context_;
    long minutes_ = kDefaultMinutes;
    std::string shareDir_;
};
