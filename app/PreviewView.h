#pragma once

// The preview box under the strip: its caption and the picture the player
// made. The picture's control takes the picture's size once there is one and
// keeps it while the strip is empty.

#include <QScrollArea>

class QLabel;

namespace abm {

class Raster;
class RasterView;

class PreviewView : public QScrollArea {
    Q_OBJECT

public:
    explicit PreviewView(QWidget* parent = nullptr);

    void showPicture(const Raster& picture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* content_ = nullptr;
    QLabel* caption_ = nullptr;
    RasterView* picture_ = nullptr;
};

}  // namespace abm
