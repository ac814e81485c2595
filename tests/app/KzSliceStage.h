#ifndef KZSLICESTAGE_H
#define KZSLICESTAGE_H

// The slice panel wired to a real view in a plain window, as the main window
// wires them, for the tests that slice from the panel.
#include <QString>

#include <memory>

class KzGLView;
class KzProgressWidget;
class KzSliceWidget;
class QPushButton;
class QWidget;

class KzSliceStage
{
public:
    KzSliceStage();
    ~KzSliceStage();

    // The engine started by the slices must not inherit the sanitizer build's
    // preloads; the build's data folder; the machine its machine file selects
    // and material 0, as the window starts. Returns where the slices write
    // their G-code.
    static QString StartMachine();

    void Build();          // window 1000 x 700, view over it, panel hidden at (300, 30)
    void Clear();
    void OpenCube(const QString& folder, double size);   // centred on the plate
    void ExpectIdle();     // start controls ready, nothing to save, no preview

    QPushButton* Button(const char* name) const;
    KzProgressWidget* Progress() const;

    KzGLView* m_pView = nullptr;
    KzSliceWidget* m_pPanel = nullptr;

private:
    std::unique_ptr<QWidget> m_pWindow;
};

#endif // KZSLICESTAGE_H
