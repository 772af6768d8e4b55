#include "monitor/ScanRecorder.h"

#include "common/PrintableText.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

void ScanRecorder::clearNodes() {
    nodes.clear();
}

int ScanRecorder::addNode(int parentIndex, const QString& key, const QString& text,
                          const QString& imageKey) {
    nodes.append({parentIndex, key, text, imageKey, QString(), {}});
    const int index = int(nodes.size());
    if (parentIndex > 0) {
        nodes[parentIndex - 1].children.append(index);
    }
    return index;
}

void ScanRecorder::setNodeTag(int index, const QString& tag) {
    nodes[index - 1].tag = tag;
}

void ScanRecorder::setNodeText(int index, const QString& text) {
    nodes[index - 1].text = text;
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
    QString text;
    const std::function<void(int, int)> write = [&](int index, int depth) {
        text += QString(2 * depth, QLatin1Char(' ')) + printableText(node(index).text) +
                QLatin1Char('\n');
        for (int child : node(index).children) {
            write(child, depth + 1);
        }
    };
    for (int i = 1; i <= nodes.size(); ++i) {
        if (node(i).parent == 0) {
            write(i, 0);
        }
    }
    return text;
}

}  // namespace tavrel
