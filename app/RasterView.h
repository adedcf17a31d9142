#pragma once

// A raster on screen: painted unscaled with its top-left corner at the
// widget's (or at `origin`, for a widget that shows only part of a huge
// raster) and clipped to the widget. It reads the raster at every paint and
// keeps no copy of it.

#include "codecs/raster/Raster.h"

#include <QWidget>

namespace abm {

class RasterView : public QWidget {
    Q_OBJECT

public:
    explicit RasterView(QWidget* parent = nullptr);

    // `raster` must outlive the view or be replaced first; nullptr shows nothing.
    void setRaster(const Raster* raster, QPoint origin = {});
    const Raster* raster() const { return raster_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Raster* raster_ = nullptr;
    QPoint origin_;
};

}  // namespace abm
