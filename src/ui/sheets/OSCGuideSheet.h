#pragma once

#include <QList>
#include <QString>
#include "sheets/SheetView.h"

#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;
class QLabel;

namespace zelvane {

class AppModel;
class Chip;
class SectionHeader;

// The remote-control guide: the two ports, the incoming OSC addresses with
// an example argument each, and the configuration that registers the
// zelvane-mcp relay with an MCP client, with a button that copies it.
// Return closes it.
class OSCGuideSheet : public SheetView {
    Q_OBJECT

public:
    struct Example {
        QString address;
        QString argument;
        QString description;
    };
    // The OSC rows, in the current language.
    static QList<Example> oscExamples();

    // The relay program that exists: zelvane-mcp next to the running
    // program (an installation), else this build tree's relay, else the one
    // found on PATH; none when there is none of them.
    static std::optional<QString> relayProgramPath();
    static std::optional<QString> relayProgramPath(const QString& programFolder, const QString& buildTreeRelay);
    // What the guide shows when no relay was found.
    static QString missingRelayText();
    // The client configuration naming `relayPath`, indented by two spaces,
    // the path written as a JSON string.
    static QString mcpConfiguration(const QString& relayPath);

    static constexpr int kWidth = 720;
    static constexpr int kHeight = 460;

    // Closing lowers showOSCGuide.
    explicit OSCGuideSheet(AppModel& model, QWidget* parent = nullptr);
    OSCGuideSheet(AppModel& model, std::function<void()> close, QWidget* parent = nullptr);

    // What the copy button puts on the clipboard.
    const QString& configuration() const { return m_configuration; }
    QAbstractButton* copyButton() const { return m_copyButton; }
    QAbstractButton* closeButton() const { return m_closeButton; }
    QString oscChipText() const;
    QString httpChipText() const;
    QString addressesTitle() const;

private:
    void refreshPorts();

    AppModel& m_model;
    QString m_configuration;
    Chip* m_oscChip = nullptr;
    Chip* m_httpChip = nullptr;
    SectionHeader* m_addresses = nullptr;
    QAbstractButton* m_copyButton = nullptr;
    QAbstractButton* m_closeButton = nullptr;
};

}  // namespace zelvane
