#pragma once

#include <QProxyStyle>

namespace tavrel {

// Draws the main window's tree as the classic tree control does: dotted tree lines,
// optional plus/minus boxes and node pictures, a highlight on the node text alone or
// on the whole row, and hot tracking (the node under the mouse underlined).
class TreeViewStyle : public QProxyStyle {
    Q_OBJECT
public:
    TreeViewStyle();

    void setPictures(bool on) { m_pictures = on; }
    void setPlusMinus(bool on) { m_plusMinus = on; }
    void setHotTracking(bool on) { m_hotTracking = on; }
    void setFullRowSelect(bool on) { m_fullRowSelect = on; }
    bool pictures() const { return m_pictures; }
    bool plusMinus() const { return m_plusMinus; }
    bool hotTracking() const { return m_hotTracking; }
    bool fullRowSelect() const { return m_fullRowSelect; }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    bool m_pictures = true;
    bool m_plusMinus = true;
    bool m_hotTracking = false;
    bool m_fullRowSelect = false;
};

}  // namespace tavrel
