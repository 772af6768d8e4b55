#pragma once

#include <QList>
#include <QString>
#include <deque>
#include <functional>
#include <map>

#include "monitor/ScanView.h"

namespace tavrel {

// A ScanView that keeps what the scan drew: the nodes with their texts, images and tags,
// the status texts and the buttons. tavrelctl prints it; tests and benchmarks read it.
class ScanRecorder : public ScanView {
public:
    struct Node {
        int parent = 0;  // 0: top level
        QString key;
        QString text;
        QString image;
        QString tag;
        QList<int> children;
    };

    void clearNodes() override;
    int addNode(int parentIndex, const QString& key, const QString& text,
                const QString& imageKey) override;
    void setNodeTag(int index, const QString& tag) override;
    void setNodeText(int index, const QString& text) override;
    void setStatusText(const QString& text) override;
    // Recorded as the status text "Idle", with the problems after it.
    void showScanSummary(const ScanSummary& summary) override;
    void setButtonVisible(ScanButton button, bool visible) override;
    void setExpandCaption(const QString& caption) override { expandCaption = caption; }
    void focusButton(ScanButton button) override { focused = button; }
    void setBusy(bool isBusy) override { busy = isBusy; }
    void uncheckAutoScan() override { autoScanUnchecked = true; }
    void yield() override;

    // Node index (1-based, in the order added).
    const Node& node(int index) const { return nodes.at(std::size_t(index - 1)); }
    // One node a line in tree order, indented two spaces a level below the top; control
    // characters in a text are shown escaped, so a line stays one node.
    QString treeText() const;
    bool visible(ScanButton button) const;

    // A scan of thousands of opens adds tens of thousands of nodes: kept in blocks, they
    // are never copied as the tree grows.
    std::deque<Node> nodes;
    QStringList statusTexts;
    ScanSummary summary;  // of the last completed scan
    std::map<ScanButton, bool> buttons;
    QString expandCaption;
    ScanButton focused = ScanButton::Scan;
    bool busy = false;
    bool autoScanUnchecked = false;
    int yields = 0;
    // Runs at every yield: a test presses Stop or moves the clock here.
    std::function<void()> onYield;
};

}  // namespace tavrel
