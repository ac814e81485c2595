#ifndef KZCARDWINDOW_H
#define KZCARDWINDOW_H

// The real main window on the road of a print to the SD card, driven as a
// user drives it: a model opened, sliced with the fast preset on the real
// engine, then the slice panel's SD button, its "Eject after saving" box and
// its eject button clicked. Shared by the tests of saving to and ejecting the card.
#include <QString>

#include <memory>

class KzUserSettings;
class KzVellum;
class QAbstractButton;
class QCheckBox;
class QPushButton;
class QWidget;

class KzCardWindow
{
public:
    // The build's data folder; the engine must not inherit the sanitizer
    // build's preloads (call before the first window).
    static void Prepare();

    // A window remembering its choices in settingsFile (none when empty).
    explicit KzCardWindow(const QString& settingsFile = QString());
    ~KzCardWindow();

    // Opens a box model written into folder and slices it: true when saving is offered.
    bool OpenAndSlice(const QString& folder, const QString& name);
    // The slice panel's one-key page, as the dial's entry shows it.
    void ShowOnekeyPage();
    void ClickSaveSD();
    void ClickEjectCard();
    void ClickEjectAfterSave();

    QPushButton* SaveSDButton() const;
    QPushButton* EjectCardButton() const;
    QCheckBox* EjectAfterSaveBox() const;
    QString TipTitle() const;
    QString TipDetail() const;
    QString TipText() const { return TipTitle() + " / " + TipDetail(); }

    // 0 Chinese, 1 English, as the title bar's language box (it clears the balloon).
    void SetLanguage(int index);
    // With KZ_ROAD_SHOTS set, the window saved there as name.png; after a
    // moment for it to settle, or at once.
    void Shot(const QString& name, bool bSettle = true) const;

    KzVellum* Window() const { return m_pWindow.get(); }

private:
    std::unique_ptr<KzUserSettings> m_pSettings;
    std::unique_ptr<KzVellum> m_pWindow;
};

#endif // KZCARDWINDOW_H
