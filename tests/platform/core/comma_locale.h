#pragma once
// Puts the process in a locale whose decimal separator is a comma for the life of the
// object. When no such locale is installed, one is compiled with localedef into a
// temporary folder and found through LOCPATH, so the comma case runs on every machine.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/tempdir.h"

class CommaLocale {
public:
    CommaLocale() : old_(std::setlocale(LC_ALL, nullptr)) {
        if (Use("de_DE.UTF-8")) return;
        static testsupport::TempDir built;  // once per process: localedef takes a moment
        static const bool made = Build(built);
        if (!made) return;
        ::setenv("LOCPATH", built.str().c_str(), 1);
        locpath_ = true;
        Use("de_DE.UTF-8");
    }
    ~CommaLocale() {
        if (locpath_) ::unsetenv("LOCPATH");
        std::setlocale(LC_ALL, old_.c_str());
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Whether the process now writes numbers with a decimal comma.
    bool Active() const { return active_; }

private:
    bool Use(const char* name) {
        active_ = std::setlocale(LC_ALL, name) != nullptr && std::localeconv()->decimal_point == std::string(",");
        return active_;
    }
    static bool Build(const testsupport::TempDir& dir) {
        testsupport::Capture("localedef -i de_DE -f UTF-8 " + testsupport::ShellQuote(dir / "de_DE.UTF-8") + " 2>&1");
        // localedef may warn (exit 1) about harmless things; the locale is there when its
        // numeric part is.
        return std::filesystem::exists(dir / "de_DE.UTF-8/LC_NUMERIC");
    }

    std::string old_;
    bool locpath_ = false;
    bool active_ = false;
};
