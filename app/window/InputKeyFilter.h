#pragma once

#include <QObject>

#include <functional>

class QLineEdit;

// The per-character key filter of the input fields. Each key press that types a character goes
// to the window's key handler as the single byte it types; the handler may keep it, change it or
// reject it, and the field then inserts what the handler left. Keys that type nothing (Enter, Tab,
// the arrows) pass untouched. Ctrl with a letter types its control character, so the handler
// sees Ctrl+C/V/X/Z too, which a field would otherwise handle itself.
class InputKeyFilter : public QObject {
public:
    using KeyHandler = std::function<void(char& key)>;

    /// A key the handler sets to this is dropped.
    static constexpr char kRejectedKey = 15;

    explicit InputKeyFilter(KeyHandler handler, QObject* parent = nullptr);

    /// Filters the keys typed into the field from now on.
    void watch(QLineEdit& field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyHandler m_handler;
};
