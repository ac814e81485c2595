#ifndef KZPLATECOMMAND_H
#define KZPLATECOMMAND_H

#include "KzGLViewGlobal.h"
#include "KzModelPainter.h"

#include <QMap>
#include <QPair>
#include <QUndoCommand>
#include <QVector>

class Kz3DScene;
class KzGLView;

// One change to the plate as an undo step: every instance it added, removed
// or moved (pushed-apart neighbours included), each with the state it had
// before and after, and the selection before and after. Undo and redo set
// those states back bit for bit.
//
// An instance off the plate belongs to the step that took it off: a done
// step owns the instances it removed, an undone step those it added. The
// step deletes them with itself, with the view's context current, so a mesh
// stays loaded while a step can still bring it back.
class KZGLVIEW_EXPORT KzPlateCommand : public QUndoCommand
{
public:
    // The plate at one moment: its instances by painter id, and the selection.
    struct Snapshot
    {
        QMap<int, QPair<KzModelPainter*, KzModelPainter::State>> instances;
        int selection = 0;

        static Snapshot Of(const Kz3DScene& scene, int selection);
    };

    // Numeric edits of one kind merge while they come from one burst of
    // typing in one field; other changes never merge.
    enum { NoMerge = -1 };

    // The change from before to after, already made. Null when nothing changed.
    static KzPlateCommand* Between(KzGLView* view, const Snapshot& before, const Snapshot& after,
                                   int mergeId = NoMerge, int burst = 0);
    ~KzPlateCommand() override;

    void undo() override;
    void redo() override;
    int id() const override { return m_nMergeId; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    struct Entry
    {
        KzModelPainter* painter = nullptr;
        bool bBefore = false;   // on the plate before the change
        bool bAfter = false;    // and after it
        KzModelPainter::State before;
        KzModelPainter::State after;
    };

    KzPlateCommand(KzGLView* view, int mergeId, int burst);
    void Apply(bool after);
    bool AddsOrRemoves() const;

    KzGLView* m_pView;
    QMap<int, Entry> m_mapEntries;   // by painter id
    int m_nSelectBefore = 0;
    int m_nSelectAfter = 0;
    int m_nMergeId;
    int m_nBurst;
    bool m_bDone = true;      // made already when pushed: the first redo skips
    bool m_bFirstRedo = true;
};

#endif // KZPLATECOMMAND_H
