/* whole_file.h - a whole file read into memory or written from it, for the
 * tools; each tool words its own messages from the result and errno. */
#ifndef KESRA_TOOLS_WHOLE_FILE_H
#define KESRA_TOOLS_WHOLE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kesra::cli {

/* How reading or writing a whole file ended; after CannotOpen errno says why. */
enum class FileResult { Ok, CannotOpen, Failed };

/* Reads the whole file at path into *data (cleared once the file is open). */
FileResult read_whole_file(const std::string& path, std::vector<uint8_t>* data);

/* Writes data as the file at path; a file left short is removed. */
FileResult write_whole_file(const std::string& path, const std::vector<uint8_t>& data);

}  // namespace kesra::cli

#endif
