#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Types.h"
#include "image/Image.h"

namespace tlc {

// Header length K of each printer's logo-definition command, by model index.
std::size_t LogoHeaderLength(int modelIndex);

// The complete logo file: the 16-bit length word, the printer's command header
// and the dot data, eight dots to a byte (column order for models 0 to 2, row
// order for model 3). Every dot is read through target.EnsureCanvas().ReadPixel
// and counts as black exactly when it reads 0.
// Throws EInvalidOperation for a model index outside 0 to 3, or for a geometry
// that is negative or beyond the printer's limits (no conversion makes one);
// errors of the pixel access pass through.
std::vector<std::uint8_t> EncodeLogo(int modelIndex, const LogoGeometry& geometry, TImage& target);

// The operating-system steps of a safe save. The default goes straight to the
// system; tests override one step to make it fail the way a full disk would.
class LogoFileOps {
public:
    virtual ~LogoFileOps() = default;
    // Whether the file at `path` may be replaced: true when it does not exist
    // (`exists` false), or is a regular file that opens for writing (without
    // cutting it).
    virtual bool ProbeTarget(const std::string& path, bool& exists);
    // Creates `path`, failing (errno EEXIST) if it exists. A descriptor, or -1.
    virtual int CreateNew(const std::string& path);
    // Writes all of `size` bytes, or fails.
    virtual bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);
    // Gives the new file the owner and permission bits of the one it replaces,
    // as far as the file system allows.
    virtual void MatchAttributes(int fd, const std::string& existingPath);
    virtual bool Sync(int fd);
    virtual bool Close(int fd);
    virtual bool Rename(const std::string& from, const std::string& to);
    virtual bool Remove(const std::string& path);
};

// The system's own file operations.
LogoFileOps& DefaultLogoFileOps();

struct LogoWriteResult {
    bool Written = false;
    std::string Message; // for the information box when not written

    explicit operator bool() const { return Written; }
};

// The message for a file that cannot be created or written.
std::string UnableToCreateMessage(const std::string& path);

// Saves the logo without ever leaving a broken file behind: the target is
// checked first (a missing folder or a read-only file fails before any pixel
// is read), the bytes are built in memory, written to a temporary file in the
// same folder, flushed to the disk and only then moved over the target. Any
// failure removes the temporary file and leaves an existing target exactly as
// it was. Reports failure as "Unable to create the file " + path; errors of
// the pixel access pass through, after the same clean-up.
LogoWriteResult WriteLogoFile(const std::string& path, int modelIndex, const LogoGeometry& geometry,
                              TImage& target, LogoFileOps& ops = DefaultLogoFileOps());

} // namespace tlc
