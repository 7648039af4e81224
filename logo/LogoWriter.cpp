#include "logo/LogoWriter.h"

#include "logo/LogoFile.h"

namespace tlc {

LogoWriteResult WriteLogoFile(const std::string& path, int modelIndex, const LogoGeometry& geometry,
                              TImage& target, FileOps& ops) {
    FileWriter writer(path, ops);
    if (!writer.Opened()) return {false, UnableToCreateMessage(path), writer.FailureCause()};
    // Pixel errors leave through here; the writer cleans up behind them.
    if (!writer.Commit(EncodeLogo(modelIndex, geometry, target)))
        return {false, UnableToCreateMessage(path), writer.FailureCause()};
    return {true, {}, {}};
}

} // namespace tlc
