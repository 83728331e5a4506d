#pragma once

#include <QWidget>

namespace kestrel {

// What the control looks like on a form: a fixed icon, always 780 x 780
// twips whatever size the host asks for.
class ControlFace : public QWidget
{
    Q_OBJECT
public:
    static constexpr int SizeTwips = 780;

    explicit ControlFace(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int sidePixels() const;
};

} // namespace kestrel
