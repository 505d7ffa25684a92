/* whole_file.h - a whole file read into memory or written from it, for the
 * tools. Each tool keeps its own wording of a failure, given as FileWords. */
#ifndef KESRA_TOOLS_WHOLE_FILE_H
#define KESRA_TOOLS_WHOLE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kesra::cli {

/* What follows "PATH: " in the message when the file cannot be opened (a
 * "%s" there stands for the system's reason) and when it cannot be read or
 * written in full. */
struct FileWords {
    const char* cannot_open;
    const char* failed;
};

/* Reads the whole file at path into *data (cleared once the file is open);
 * false with the message in *error. */
bool read_whole_file(const std::string& path, std::vector<uint8_t>* data, const FileWords& words,
                     std::string* error);

/* Writes data as the file at path; a file left short is removed. False with
 * the message in *error. */
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& data, const FileWords& words,
                      std::string* error);

}  // namespace kesra::cli

#endif
