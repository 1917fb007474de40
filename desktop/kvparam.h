#pragma once
// The parameter store: the named settings of one application, kept either in
// the per-user settings store (QSettings("Dremsel", <AppName>) in its native
// format: $XDG_CONFIG_HOME/Dremsel/<AppName>.conf here, the registry key
// HKEY_CURRENT_USER\Software\Dremsel\<AppName> on Windows) or in section
// <AppName> of a private profile (INI) file.
//
// A store is opened, used and closed within one handler. An opening that finds
// the application's settings empty counts as having created them, and then
// every read through it also stores the default it returns, so the first run
// seeds the settings with their defaults.
//
// Texts are UTF-8 and zero-terminated; a profile file's text comes back byte
// for byte as the file holds it. Names are Latin-1.
#include <QString>
#include <QtGlobal>

#include <memory>

class QSettings;

constexpr int ParamNameSize = 260;   // IniFile and AppName, terminator included
constexpr int ParamMaxRegAppName = 238;  // longest application name in the settings store

// What the opening found.
constexpr quint32 ParamCreatedNewKey = 1;     // the settings were empty: reads seed defaults
constexpr quint32 ParamOpenedExistingKey = 2; // the settings held values already

struct TParamStore
{
    std::unique_ptr<QSettings> Key; // open settings store; null in profile mode or when opening failed
    quint32 Disposition = 0;        // ParamCreatedNewKey or ParamOpenedExistingKey; 0 when not open
    char IniFile[ParamNameSize] = {};
    char AppName[ParamNameSize] = {};
    qint32 UseRegistry = 0;         // non-zero: settings store; zero: profile file
    bool ReadOnly = false;          // the settings file is not writable by its owner: reads only
    bool Changed = false;           // something was written through this opening

    TParamStore();
    ~TParamStore();
    TParamStore(const TParamStore&) = delete;
    TParamStore& operator=(const TParamStore&) = delete;
};

// Opens the store. iniFile may be null (IniFile is then empty). A relative
// profile file name is taken from $XDG_CONFIG_HOME/Dremsel/. When the
// settings cannot be opened, reads return their defaults and writes are
// dropped until the close. A settings file its owner may not write (mode
// 0444, say) is read, but nothing is written to it, defaults included, and
// its mode is left as it is.
void ParamOpen(const char* iniFile, const char* appName, TParamStore& store, int useRegistry);

// Saves what was written and closes the store. A settings file saved here is
// left readable and writable by its owner only (it may hold the restore
// password); a file nothing was written to keeps its mode. Safe to call twice.
void ParamClose(TParamStore& store);

// The integer stored under name, or defaultValue when there is none or it is
// not an integer.
qint32 ParamReadInt(TParamStore& store, const char* name, qint32 defaultValue);

// Stores value under name. Returns 0 on success in settings-store mode and
// non-zero in profile mode on success (the platform's conventions); callers
// ignore it.
int ParamWriteInt(TParamStore& store, const char* name, qint32 value);

// Fills dest (destSize bytes) with the text stored under name, or with
// defaultText when there is none. defaultText and dest may be the same buffer.
// A longer text is cut to fit, between characters; dest is always terminated
// when destSize > 0.
// Returns the length of the text in dest.
int ParamReadString(TParamStore& store, const char* name, const char* defaultText, char* dest, int destSize);

// text cut the way ParamReadString cuts what it returns: at its first zero
// byte, then to at most maxBytes bytes, between characters (a cut never
// keeps the first bytes of a UTF-8 sequence without the rest).
QByteArray ParamCutText(const QByteArray& text, int maxBytes);

// The file a store opened with these arguments uses (for the user's manual,
// diagnostics and tests); empty for a profile store without a file name.
QString ParamFilePath(const char* iniFile, const char* appName, int useRegistry);

// The integer stored under name in the settings store of appName, or
// defaultValue, read without opening the store for use: nothing is created,
// seeded, saved or re-permissioned (for a reader that must leave the
// settings file exactly as it is, such as a command that only prints).
qint32 ParamPeekInt(const char* appName, const char* name, qint32 defaultValue);
