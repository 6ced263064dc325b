// files.h - the files the program reads and writes, handled as a careless or
// hostile user could leave them.
//
// Reading: only regular files are read, checked on the descriptor that was
// opened without blocking, so a FIFO, a device or a folder is refused before
// a byte is read, and nothing larger than the caller's limit is read at all.
//
// Writing: an output is written under a fresh, unguessable name beside its
// final name (".NAME.XXXXXXXX"), created exclusively and never through a
// symbolic link, and renamed into place only once it is complete and on disk.
// A failure, a full disk or a stop signal removes the private file, so a
// final name either keeps what it had or gets the complete file. An existing
// regular file may be replaced; a symbolic link, a folder or a device at the
// final name is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "show/host.h"

// Puts /dev/null on standard input, output or error when one was closed on
// the way in: else the next file opened would take its number, and messages
// (ours, or the encoder's) would be written into an output.
void platformOpenStandardStreams();

// Opens a regular file of at most maxBytes for reading: its descriptor, or
// -1 with missing set (no such file) or a reason in plain English.
int platformOpenRegularFile(const char* path, size_t maxBytes, bool& missing, std::string& reason);
// Where an asset (a path relative to the data folder, such as
// "Images/Env.bmp") is on disk: in the folder platformFindAssets found.
std::string platformAssetFile(const std::string& name);
// Reads a whole regular file of at most maxBytes (the host's readFile).
FileRead platformReadFile(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes,
                          std::string& reason);
// Reads what is left of an open file, at most maxBytes; false with a reason.
bool platformReadOpenFile(int fd, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason);
void platformCloseFile(int fd);

// Whether path can be a final output name: not empty, not naming a folder,
// nothing but a regular file there now, a folder we can create files in, and
// what is there one the rename may replace (not another user's in a sticky
// folder, not immutable).
bool platformCheckOutputFile(const std::string& path, std::string& reason);
// Whether dir is there and a folder (following links).
bool platformFolderExists(const std::string& dir);
// Whether dir is a folder we can create files in.
bool platformCheckOutputFolder(const std::string& dir, std::string& reason);
// Whether platformMakeFolders could make dir, without making anything: the
// path within the system's limits with files of up to longestName bytes in
// it, each part there a folder, and the deepest one there taking new
// entries. True at once when dir is there.
bool platformCheckFoldersCanBeMade(const std::string& dir, size_t longestName, std::string& reason);
// Makes dir and any missing parents (as mkdir -p); false with a reason when
// a part is not a folder or cannot be made, and then what it made is gone.
bool platformMakeFolders(const std::string& dir, std::string& reason);

// One output on its way to its final name.
struct PlatformOutput;
// Creates the private file beside finalPath; null with a reason.
PlatformOutput* platformCreateOutput(const std::string& finalPath, std::string& reason);
// The private file's descriptor (for a child process to write through).
int platformOutputDescriptor(const PlatformOutput* output);
// The private file's name.
std::string platformOutputPath(const PlatformOutput* output);
// Appends bytes; false with a reason (a full disk, say).
bool platformWriteOutput(PlatformOutput* output, const void* bytes, size_t size, std::string& reason);
// Puts the file on disk and renames it to its final name; on failure the
// private file is removed. Either way the output is gone afterwards.
bool platformCommitOutput(PlatformOutput* output, std::string& reason);
// Removes the private file; the final name is untouched.
void platformDiscardOutput(PlatformOutput* output);
