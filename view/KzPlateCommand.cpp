#include "KzPlateCommand.h"

#include "Kz3DScene.h"
#include "KzGLView.h"

KzPlateCommand::Snapshot KzPlateCommand::Snapshot::Of(const Kz3DScene& scene, int selection)
{
    Snapshot snapshot;
    snapshot.selection = selection;
    for (KzModelPainter* p : scene.GetPainters())
        snapshot.instances.insert(p->GetID(), qMakePair(p, p->GetState()));
    return snapshot;
}

KzPlateCommand::KzPlateCommand(KzGLView* view, int mergeId, int burst)
    : m_pView(view)
    , m_nMergeId(mergeId)
    , m_nBurst(burst)
{
}

KzPlateCommand* KzPlateCommand::Between(KzGLView* view, const Snapshot& before, const Snapshot& after, int mergeId,
                                        int burst)
{
    auto* command = new KzPlateCommand(view, mergeId, burst);
    for (auto b = before.instances.cbegin(); b != before.instances.cend(); ++b) {
        Entry entry;
        entry.painter = b->first;
        entry.bBefore = true;
        entry.before = b->second;
        const auto a = after.instances.constFind(b.key());
        if (a != after.instances.cend()) {
            entry.bAfter = true;
            entry.after = a->second;
            if (entry.before == entry.after)
                continue;
        }
        command->m_mapEntries.insert(b.key(), entry);
    }
    for (auto a = after.instances.cbegin(); a != after.instances.cend(); ++a) {
        if (before.instances.contains(a.key()))
            continue;
        Entry entry;
        entry.painter = a->first;
        entry.bAfter = true;
        entry.after = a->second;
        command->m_mapEntries.insert(a.key(), entry);
    }
    if (command->m_mapEntries.isEmpty()) {
        delete command;
        return nullptr;
    }
    command->m_nSelectBefore = before.selection;
    command->m_nSelectAfter = after.selection;
    return command;
}

KzPlateCommand::~KzPlateCommand()
{
    for (const Entry& entry : qAsConst(m_mapEntries)) {
        const bool offPlate = m_bDone ? !entry.bAfter : !entry.bBefore;
        if (offPlate)
            m_pView->DiscardDetached(entry.painter);
    }
}

void KzPlateCommand::undo()
{
    Apply(false);
}

void KzPlateCommand::redo()
{
    if (m_bFirstRedo) {
        m_bFirstRedo = false;   // the change was made before it was pushed
        return;
    }
    Apply(true);
}

void KzPlateCommand::Apply(bool after)
{
    Kz3DScene& scene = m_pView->GetScene();
    for (const Entry& entry : qAsConst(m_mapEntries)) {
        if (!(after ? entry.bAfter : entry.bBefore)) {
            scene.DetachPainter(entry.painter);
            continue;
        }
        scene.AttachPainter(entry.painter);
        entry.painter->SetState(after ? entry.after : entry.before);
    }
    m_bDone = after;
    m_pView->ShowRestoredPlate(after ? m_nSelectAfter : m_nSelectBefore);
}

bool KzPlateCommand::AddsOrRemoves() const
{
    for (const Entry& entry : m_mapEntries) {
        if (!entry.bBefore || !entry.bAfter)
            return true;
    }
    return false;
}

// Only moves merge: an instance that comes or goes is a step of its own.
bool KzPlateCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const KzPlateCommand*>(other);
    if (next->m_nBurst != m_nBurst || next->m_nSelectBefore != m_nSelectAfter || AddsOrRemoves()
        || next->AddsOrRemoves())
        return false;
    for (auto e = next->m_mapEntries.cbegin(); e != next->m_mapEntries.cend(); ++e) {
        const auto mine = m_mapEntries.find(e.key());
        if (mine == m_mapEntries.end()) {
            m_mapEntries.insert(e.key(), e.value());
            continue;
        }
        mine->after = e->after;
        if (mine->after == mine->before)
            m_mapEntries.erase(mine);
    }
    m_nSelectAfter = next->m_nSelectAfter;
    // Typed back to where it started: no step at all.
    setObsolete(m_mapEntries.isEmpty());
    return true;
}
