#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "base/Types.h"

namespace tlc {

// Receives the change reports that travel from canvas to bitmap to picture to
// image control.
class IChangeListener {
public:
    virtual void Changed() = 0;

protected:
    ~IChangeListener() = default;
};

enum class GraphicKind { Bitmap, Icon, Metafile };

// A bitmap, an icon or a metafile. Content is shared between copies.
class TGraphic {
public:
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    GraphicKind Kind() const { return kind_; }
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual bool Empty() const = 0;
    // A new, empty graphic of the same kind.
    virtual std::unique_ptr<TGraphic> NewEmpty() const = 0;
    // Shares the content of `source`, which must be of the same kind.
    virtual void ShareFrom(const TGraphic& source) = 0;

    void SetListener(IChangeListener* listener) { listener_ = listener; }
    IChangeListener* Listener() const { return listener_; }
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }

    // Sets the modified flag and tells the listener.
    void Changed() {
        modified_ = true;
        MarkAllRowsChanged();
        quietPixelChanges_ = false;
        if (listener_) listener_->Changed();
    }

    // A pixel write. Once the image control has handled one and is already
    // marked for repainting, further reports would change nothing until it
    // paints, so it silences them until then (see TImage).
    void PixelsChanged(std::int32_t row) {
        modified_ = true;
        NoteRowsChanged(row, row + 1);
        if (!quietPixelChanges_ && listener_) listener_->Changed();
    }
    void SetQuietPixelChanges(bool value) { quietPixelChanges_ = value; }
    bool QuietPixelChanges() const { return quietPixelChanges_; }

    // Rows changed since the image control last painted, [top, bottom); kept
    // even while reports are quiet, so that a redraw can stay to those rows.
    void NoteRowsChanged(std::int32_t top, std::int32_t bottom) {
        rowsTop_ = std::min(rowsTop_, top);
        rowsBottom_ = std::max(rowsBottom_, bottom);
    }
    void MarkAllRowsChanged() {
        rowsTop_ = std::numeric_limits<std::int32_t>::min();
        rowsBottom_ = std::numeric_limits<std::int32_t>::max();
    }
    void ForgetChangedRows() {
        rowsTop_ = std::numeric_limits<std::int32_t>::max();
        rowsBottom_ = std::numeric_limits<std::int32_t>::min();
    }
    std::int32_t ChangedRowsTop() const { return rowsTop_; }
    std::int32_t ChangedRowsBottom() const { return rowsBottom_; }

protected:
    explicit TGraphic(GraphicKind kind) : kind_(kind) {}

private:
    GraphicKind kind_;
    IChangeListener* listener_ = nullptr;
    bool modified_ = false;
    bool transparent_ = false;
    bool quietPixelChanges_ = false;
    // A new graphic has never been painted.
    std::int32_t rowsTop_ = std::numeric_limits<std::int32_t>::min();
    std::int32_t rowsBottom_ = std::numeric_limits<std::int32_t>::max();
};

} // namespace tlc
