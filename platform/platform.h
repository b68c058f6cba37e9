// Every operating-system operation the logic may call, and prompt_user.
#pragma once

#include <cstdint>

using FileHandle = std::intptr_t;
inline constexpr FileHandle invalid_file = -1;

FileHandle open_file_for_reading(const char* name);
// Creates the file anew, truncating an existing one. Both creations refuse,
// and change nothing, where the path passes through a junction or symbolic
// link, or the file has another name too: written with administrator rights
// into the user's temporary or application data folder, such a file could
// land anywhere.
FileHandle create_file_for_writing(const char* name);
// Creates the file only where none of that name exists.
FileHandle create_new_file_for_writing(const char* name);
// Whether the last creation was refused for that reason.
bool creation_met_link();
// False when the program runs as another account than the one signed in
// (a standard user typed an administrator's password): the Recycle Bin,
// the backup and the temporary files are then that account's. True where
// it cannot tell.
bool runs_as_signed_in_user();
// Returns the count of bytes delivered: 0 at end of file and on failure.
std::uint32_t read_file(FileHandle file, char* buffer, std::uint32_t size);
// The next bytes from the current position, up to `size` of them (at most
// 64 KB), where they already lie: valid until the next call on the file.
// Does not move the position. Returns their count: 0 at end of file and on
// failure, fewer than `size` only at the end of the file.
std::uint32_t peek_file(FileHandle file, const char*& bytes, std::uint32_t size);
void move_file_position(FileHandle file, std::int32_t distance);
// The position counted from the file's start, and a move to one.
std::int64_t file_position(FileHandle file);
void set_file_position(FileHandle file, std::int64_t position);
void write_file(FileHandle file, const char* bytes, std::uint32_t length);
// True when every write reached the file.
bool close_file(FileHandle file);
// True when the directory exists afterwards; false, and nothing made, where
// its path passes through a junction or symbolic link.
bool make_directory(const char* path);
void delete_file(const char* name);
// Renames `from` to `to`, replacing a file of that name; true on success.
bool replace_file(const char* from, const char* to);
// Makes a new folder, under a name no one could foresee, that only
// administrators and the system may open or change, in the machine's
// ProgramData folder; its full name goes into `buffer`. False when it
// cannot be made.
bool create_private_directory(char* buffer, std::uint32_t size);
// Removes an empty folder.
void remove_directory(const char* path);
// Bytes from the system's random number generator, which no other program
// can foresee.
void get_random_bytes(void* bytes, std::uint32_t size);

// 0 on failure; the length of the path (ending in a separator) when it fits
// in `size` bytes with its terminator; otherwise the size it would need.
std::uint32_t get_temp_path(std::uint32_t size, char* buffer);

// The system's directories, without a closing backslash; the results are
// those of get_temp_path. The WOW64 system directory, which holds the 32-bit
// programs of 64-bit Windows, fails on 32-bit Windows.
std::uint32_t get_system_directory(char* buffer, std::uint32_t size);
std::uint32_t get_windows_directory(char* buffer, std::uint32_t size);
std::uint32_t get_system_wow64_directory(char* buffer, std::uint32_t size);
// The user's local application data folder; the results are those of
// get_temp_path, without a closing backslash.
std::uint32_t get_local_app_data_directory(char* buffer, std::uint32_t size);

// The machine's ProgramData folder, and the folder that holds the users'
// profiles; the results are those of get_temp_path, without a closing
// backslash.
std::uint32_t get_program_data_directory(char16_t* buffer, std::uint32_t size);
std::uint32_t get_profiles_directory(char16_t* buffer, std::uint32_t size);

struct LocalTime {
    std::uint16_t year, month, day, hour, minute, second;
};
LocalTime get_local_time();
// The local time as the system's time zone had it then, in seconds since
// 1601 (UTC), as file times count; false when it names no time.
bool local_time_to_file_seconds(const LocalTime& time, std::int64_t& seconds);

// Converts `length` bytes of text in the system's ANSI code page into
// UTF-16LE; returns the bytes written, 0 when the text does not convert
// exactly or does not fit in `capacity`.
std::uint32_t ansi_to_utf16le(const char* text, std::uint32_t length, char* bytes, std::uint32_t capacity);

// Converts `length` UTF-16 units into the ANSI code page, a character that
// it lacks as '?'; returns the bytes written, at most `capacity`.
std::uint32_t utf16_to_ansi(const char16_t* text, std::uint32_t length, char* bytes, std::uint32_t capacity);

struct OpenFileDialog {
    const char* filter;  // pairs of description and pattern, ended by an empty text
    std::uint32_t filter_index;
    char* file_name;
    std::uint32_t file_name_size;
    const char* initial_directory;
    const char* title;
    std::uint32_t flags;
};
inline constexpr std::uint32_t dialog_path_must_exist = 0x800;
inline constexpr std::uint32_t dialog_file_must_exist = 0x1000;
// True when the user picked a file that fit into file_name.
bool show_open_file_dialog(const OpenFileDialog& dialog);

enum class ShowMode : int { hidden = 0, default_mode = 10 };
// Starts the command line, whose first word is the program's full path, and
// does not wait for it; failures are not reported.
void start_program(const char* command_line, ShowMode show);
// Starts the command line the same way, and waits for the program to end;
// false when it could not be started. The program is the one named: 64-bit
// Windows would send a 32-bit process's start of a program of the Windows
// directory to the 32-bit one of the same name in the WOW64 system directory.
bool run_program_to_end(const char* command_line, ShowMode show);

[[noreturn]] void end_process(int status);

// A small window under the program's caption that shows how far a long
// step has come: a line of text, a bar and a Cancel button. It appears only
// once the step has taken a moment, so that a quick one shows nothing, and
// stays answering while run_program_to_end waits.
void open_progress_window();
// The line, and `done` of `total` on the bar (total 0: a bar that only shows
// that something goes on); Cancel is offered only when `cancellable`.
void show_progress(const char* text, std::uint32_t done, std::uint32_t total, bool cancellable);
// Answers the window's messages now and then; true once the user chose
// Cancel while it was offered.
bool progress_cancelled();
void close_progress_window();

// Files and folders, by full name in UTF-16 ("C:\..." or "\\server\share\..."),
// zero-terminated, as 64-bit Windows names them. A 32-bit program on 64-bit
// Windows sees the 64-bit System32 folder under that name too: the WOW64
// file-system redirection is turned off for these calls where it would
// lead elsewhere.
enum class FileResult : std::uint8_t { ok, absent, denied, failed };
struct FileFacts {
    bool folder;
    bool reparse_point;  // a link to somewhere else, a junction
    std::uint64_t size;
    std::int64_t write_seconds;  // the last write time, in seconds since 1601 (UTC)
};
FileResult get_file_facts(const char16_t* path, FileFacts& facts);
// When the folder was made, in seconds since 1601 (UTC); a file, or a link,
// is no such folder (failed).
FileResult get_folder_creation(const char16_t* path, std::int64_t& seconds);
using FolderListing = std::intptr_t;
FileResult open_folder_listing(const char16_t* path, FolderListing& listing);
// The next entry of the folder but "." and "..": its name, zero-terminated,
// and its facts; false after the last, or when the name does not fit.
bool next_folder_entry(FolderListing listing, char16_t* name, std::uint32_t capacity, FileFacts& facts);
void close_folder_listing(FolderListing listing);
// Another program holds the file, or a file in the folder, or runs from
// it, so that it cannot be moved.
bool file_in_use(const char16_t* path);
enum class BinRoom : std::uint8_t { takes, no_bin, too_large };
// Whether the Recycle Bin of the path's drive takes `size` bytes: a drive
// without one, or a bin set to delete at once, would delete them for good.
BinRoom recycle_bin_room(const char16_t* path, std::uint64_t size);
// Moves the paths (each zero-terminated, the list closed by an empty one)
// to the Recycle Bin in one shell operation that can be undone, without
// asking, and never deletes one for good: an item that the Recycle Bin
// does not take stays, and so may every item after it. `taken` gets, for
// each path in order, whether the Recycle Bin took it. True when it took
// every one.
bool move_to_recycle_bin(const char16_t* paths, bool* taken);
// Registers with the session manager a move at the next restart
// (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT): the file `from` to `to`,
// or, with `to` null, the folder `from` removed, which Windows does only
// when it is empty then.
bool move_at_restart(const char16_t* from, const char16_t* to);
// Whether the session manager already holds a move of `from`.
bool move_registered(const char16_t* from);
// The root of the volume the path lies on ("C:\", or a folder a volume is
// mounted at), zero-terminated, with its length; 0 when it cannot be told.
std::uint32_t volume_root(const char16_t* path, char16_t* root, std::uint32_t capacity);
// Makes the folder, and those above it that are missing; false when it
// cannot, or where its path passes through a junction or symbolic link.
// But for `inherited`, the folder itself is made anew (false where it
// exists), and only administrators and the system may change it or what
// it will hold; with `user_reads`, the user may read it.
enum class FolderAccess : std::uint8_t { inherited, administrators, user_reads };
bool make_folders(const char16_t* path, FolderAccess access);

// The registry, with key and value names in UTF-16.
enum class RegistryRoot : std::uint8_t { classes_root, current_user, local_machine, users, current_config };
// The registry that 32-bit programs see on 64-bit Windows, or the 64-bit one;
// 32-bit Windows has only the one.
enum class RegistryView : std::uint8_t { bits32, bits64 };
using RegistryKey = std::intptr_t;
enum class RegistryResult : std::uint8_t { ok, absent, denied, failed, too_large, no_more };

// `path` is below the root, zero-terminated.
RegistryResult open_registry_key(RegistryRoot root, const char16_t* path, RegistryView view, RegistryKey& key);
RegistryResult open_registry_subkey(RegistryKey parent, const char16_t* name, RegistryView view, RegistryKey& key);
void close_registry_key(RegistryKey key);
// The key's full name where it really lies, as the 64-bit registry names it
// in a registry script: "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\..." for a
// key of the 32-bit view, whatever name opened it. Zero-terminated; `length`
// in units.
RegistryResult get_registry_key_name(RegistryKey key, char16_t* name, std::uint32_t capacity, std::uint32_t& length);
// The subkey at `index`, zero-terminated; no_more past the last.
RegistryResult enum_registry_subkey(RegistryKey key, std::uint32_t index, char16_t* name, std::uint32_t capacity);
struct RegistryValue {
    char16_t* name;  // zero-terminated; empty for the default value
    std::uint32_t name_capacity;
    std::uint32_t name_length;
    std::uint32_t type;
    char* data;
    std::uint32_t data_capacity;
    std::uint32_t data_length;
};
// The value at `index`; no_more past the last, too_large when its name or
// data does not fit.
RegistryResult enum_registry_value(RegistryKey key, std::uint32_t index, RegistryValue& value);
// The value named `name` (zero-terminated; empty for the default value), its
// name left as it is; absent when the key has none of that name, too_large
// (with type and length set) when its data does not fit.
RegistryResult query_registry_value(RegistryKey key, const char16_t* name, RegistryValue& value);
// How many subkeys and values the key holds.
RegistryResult count_registry_entries(RegistryKey key, std::uint32_t& subkeys, std::uint32_t& values);
// True when the key holds neither values nor subkeys.
bool registry_key_is_empty(RegistryKey key);
// Deletes the key at `path`, which must have no subkeys.
void delete_registry_key(RegistryRoot root, const char16_t* path, RegistryView view);

// Services, through the service manager, by their names in UTF-16
// (zero-terminated). A running service is one that is not stopped.
// `marked`: the service manager only marked the service for deletion, as it
// does while anything holds a handle to it; it goes at the next restart.
enum class ServiceResult : std::uint8_t { ok, absent, denied, failed, dependants_run, marked };
// Drivers and Windows' per-user service instances are never stopped or
// removed through the service manager.
enum class ServiceKind : std::uint8_t { program, driver, user_instance };
struct ServiceFacts {
    bool running;
    std::uint32_t process_id;  // 0 when it has none
    ServiceKind kind;
};
// Takes a list of the services that run in processes of their own or share
// one (not drivers); returns their count, 0 on failure.
std::uint32_t list_services();
// The listed service at `index`: its name and the command line it is
// started with, as the service manager holds it; false when it cannot be
// looked at, or a text does not fit.
bool service_at(std::uint32_t index, char16_t* name, std::uint32_t name_capacity, char16_t* program,
                std::uint32_t program_capacity, ServiceFacts& facts);
ServiceResult query_service(const char16_t* name, ServiceFacts& facts);
// Asks the service to stop, and does not wait: ok when it stops, or was
// stopped already; dependants_run while a running service depends on it.
ServiceResult request_service_stop(const char16_t* name);
// Removes the service from the service manager, at once when it is
// stopped and nothing holds it; `marked` when the service manager still
// knows it afterwards.
ServiceResult delete_service(const char16_t* name);

// Scheduled tasks, through the Task Scheduler, by their paths in UTF-16
// ("\Vendor\Updater", zero-terminated). Connecting starts its service where
// it is not running. `not_empty`: a task folder that still holds a task or
// a folder.
enum class TaskResult : std::uint8_t { ok, absent, denied, failed, not_empty };
TaskResult connect_task_scheduler();
void disconnect_task_scheduler();
// The task's definition as the Task Scheduler gives it: XML, in UTF-16;
// failed when it does not fit.
TaskResult read_task_definition(const char16_t* path, char16_t* xml, std::uint32_t capacity, std::uint32_t& length);
TaskResult delete_scheduled_task(const char16_t* path);
// Deletes the task folder only when it is empty.
TaskResult delete_task_folder(const char16_t* path);
// The bytes of a file at its full name as 64-bit Windows gives it (a task
// file under System32), up to `capacity`; false when it cannot be read
// whole.
bool read_whole_file(const char16_t* path, char* bytes, std::uint32_t capacity, std::uint32_t& length);

// Running processes, by a list taken at once; the program's own is left out.
// Returns their count.
std::uint32_t list_processes();
struct ProcessFacts {
    std::uint32_t id;
    // Its program file could be looked at: `path` holds its full name.
    // Otherwise only `name` is known: another user's process, or a
    // protected one.
    bool opened;
};
// The listed process at `index`: the file name of its program, and that
// program's full name as 64-bit Windows names it; false when a text does
// not fit.
bool process_at(std::uint32_t index, ProcessFacts& facts, char16_t* name, std::uint32_t name_capacity, char16_t* path,
                std::uint32_t path_capacity);
// Asks the process to close as Windows asks programs at log-off, when it
// still runs the program `path`: each of its top-level windows is asked
// whether it may end; only when every one agreed in time are they told
// that the session ends, and closed. Otherwise those that agreed are told
// that it goes on.
void ask_process_to_close(std::uint32_t id, const char16_t* path);
// True when no process of that id runs the program `path` any more.
bool process_ended(std::uint32_t id, const char16_t* path);
// Ends the process at once, when it still runs the program `path`; false
// when it cannot.
bool terminate_process(std::uint32_t id, const char16_t* path);
// Lets time pass while services and programs stop; the progress window is
// answered in between by the caller.
void pause_briefly(std::uint32_t milliseconds);

// Tells running programs, as installers do, that the environment changed
// (new command prompts then see it) or that file types and classes did
// (Explorer shows the old icons and opens files with the old programs).
void announce_environment_change();
void announce_association_change();

enum MessageStyle : std::uint32_t {
    style_plain = 0,
    style_ok_cancel = 0x21,
    style_yes_no = 0x24,
    // A warning whose default button is No.
    style_yes_no_warning = 0x134,
    // A warning whose default button is Cancel.
    style_ok_cancel_warning = 0x131,
};
enum Button : int {
    button_ok = 1,
    button_cancel = 2,
    button_yes = 6,
    button_no = 7,
};
inline constexpr char prompt_caption[] = "Morvane 2 - https://morvane.example";
Button prompt_user(const char* text, MessageStyle style);
