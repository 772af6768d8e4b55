#include "monitor/ScanRecorder.h"

#include <vector>

#include "common/PrintableText.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

void ScanRecorder::clearNodes() {
    nodes.clear();
}

int ScanRecorder::addNode(int parentIndex, const QString& key, const QString& text,
                          const QString& imageKey) {
    nodes.push_back({parentIndex, key, text, imageKey, QString(), {}});
    const int index = int(nodes.size());
    if (parentIndex > 0) {
        nodes[std::size_t(parentIndex - 1)].children.append(index);
    }
    return index;
}

void ScanRecorder::setNodeTag(int index, const QString& tag) {
    nodes[std::size_t(index - 1)].tag = tag;
}

void ScanRecorder::setNodeText(int index, const QString& text) {
    nodes[std::size_t(index - 1)].text = text;
}

void ScanRecorder::setStatusText(const QString& text) {
    statusTexts.append(text);
}

void ScanRecorder::showScanSummary(const ScanSummary& scanSummary) {
    summary = scanSummary;
    statusTexts.append(withProblems(kIdleText, summary.problems));
}

void ScanRecorder::setButtonVisible(ScanButton button, bool visible) {
    buttons[button] = visible;
}

bool ScanRecorder::visible(ScanButton button) const {
    const auto it = buttons.find(button);
    return it != buttons.end() && it->second;
}

void ScanRecorder::yield() {
    ++yields;
    if (onYield) {
        onYield();
    }
}

QString ScanRecorder::treeText() const {
    // Depth first, in the order the nodes were added under each parent; the lines go
    // straight into one text, which a scan of thousands of files makes megabytes long.
    QString text;
    qsizetype size = 0;
    for (const Node& n : nodes) {
        size += n.text.size() + 16;
    }
    text.reserve(size);
    std::vector<std::pair<int, int>> pending;  // node, depth; the next one last
    for (int i = int(nodes.size()); i >= 1; --i) {
        if (node(i).parent == 0) {
            pending.emplace_back(i, 0);
        }
    }
    while (!pending.empty()) {
        const auto [index, depth] = pending.back();
        pending.pop_back();
        const Node& n = node(index);
        text.resize(text.size() + 2 * depth, QLatin1Char(' '));
        if (hasControlCharacters(n.text)) {
            text.append(printableText(n.text));
        } else {
            text.append(n.text);
        }
        text.append(QLatin1Char('\n'));
        for (auto child = n.children.crbegin(); child != n.children.crend(); ++child) {
            pending.emplace_back(*child, depth + 1);
        }
    }
    return text;
}

}  // namespace tavrel
