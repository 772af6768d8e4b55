#include <QCoreApplication>
#include <QTextStream>

namespace {

const char* const kUsage =
    "Usage: tavrelctl COMMAND [ARGUMENTS]\n"
    "\n"
    "The command-line companion of Tavrel.\n";

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << kUsage;
    return argc > 1 ? 1 : 0;
}
