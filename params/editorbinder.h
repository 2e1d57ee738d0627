#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <stdexcept>

// Ties every field of the memory layout to the editor control named after it. The binder walks
// the table, not the controls: a field without its control is a fault of the editor, reported
// at once instead of leaving that parameter silently unedited.
namespace editor {

struct FieldBinding {
    std::function<void(const QByteArray&)> load;  // image -> control
    std::function<void(QByteArray&)> store;       // control -> image
};

class MissingControl : public std::logic_error {
public:
    explicit MissingControl(const QString& name)
        : std::logic_error("no editor control for field " + name.toStdString()), m_name(name) {}
    QString name() const { return m_name; }

private:
    QString m_name;
};

using ControlLookup = std::function<QObject*(const QString& name)>;

// One binding per field instance. Throws MissingControl for the first field whose control (or
// one of its check boxes) is missing or of another kind.
QList<FieldBinding> bindFields(const ControlLookup& lookup);

}  // namespace editor
