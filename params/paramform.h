#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <functional>

// The editor of every parameter of the configuration image. Values live in the controls
// between LoadFromImage and StoreToImage; the window has no link of its own.
class TFormParSetting : public QDialog {
    Q_OBJECT
public:
    explicit TFormParSetting(QWidget* parent = nullptr);

    enum PageIndex { kZones, kUsers, kEvents, kRelays, kPhones, kRadio };

    QTabWidget* PageControl;
    QPushButton* btSettingOK;
    QPushButton* btSettingCancel;
    QLineEdit* edMasterCode;

    // Fills every control from the image and remembers it as the one to store into.
    void LoadFromImage(QByteArray& image);
    // Writes every control into the image; bytes that no control shows stay as they are.
    void StoreToImage(QByteArray& image);

    void btSettingOKClick();
    void btSettingCancelClick() { reject(); }
    // Shared by every user code box and the installer code box, when it loses the focus.
    void edUserCode1Exit(QLineEdit* box);

    // A control of any page by its name (spinner, box, list, option group, check column).
    template <class T>
    T* control(const QString& name) const {
        return qobject_cast<T*>(m_controls.value(name));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerControl(QObject* control);
    QWidget* buildZonesPage();
    QWidget* buildUsersPage();
    QLineEdit* makeCodeBox(const QString& name);
    void bindFields();

    struct Binding {
        std::function<void(const QByteArray&)> load;
        std::function<void(QByteArray&)> store;
    };
    QHash<QString, QObject*> m_controls;
    QList<Binding> m_bindings;
    QByteArray* m_image = nullptr;
};
