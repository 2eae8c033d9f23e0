#include "desktop/document_session.h"

#include <utility>

#include "model/action.h"
#include "model/hypertext.h"
#include "model/undo_texts.h"

namespace fernweave {

std::unique_ptr<DocumentSession> DocumentSession::CreateNew() {
  return std::unique_ptr<DocumentSession>(new DocumentSession(OrvexDoc::Create()));
}

std::unique_ptr<DocumentSession> DocumentSession::Open(const std::filesystem::path& file) {
  std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create(file);
  if (doc == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<DocumentSession>(new DocumentSession(std::move(doc)));
}

DocumentSession::DocumentSession(std::unique_ptr<OrvexDoc> doc) : doc_(std::move(doc)) {
  StartIdleTask();
  RestoreLayout();
}

DocumentSession::~DocumentSession() {
  // The idle task's managers are hooked into the document: they go first.
  selection_.Reset(nullptr);
  idle_.reset();
}

void DocumentSession::StartIdleTask() {
  idle_ = std::make_unique<IdleTask>(hypertext());
}

void DocumentSession::RestoreLayout() {
  selection_.Reset(hypertext());
  Node* container = nullptr;
  saved_layout_ = ReadWindowLayout(*hypertext(), &container);
  if (container != nullptr) {
    selection_.ShowMap(container);
  }
}

void DocumentSession::RecordLayout() {
  if (layout_) {
    RecordWindowLayout(hypertext(), layout_(), selection_.MapContainer());
  }
}

std::string DocumentSession::Title() const {
  return (doc_->IsModified() ? "*" : "") + doc_->Name();
}

bool DocumentSession::CanUndo() const {
  return hypertext()->UndoHistory().CanUndo();
}

bool DocumentSession::CanRedo() const {
  return hypertext()->UndoHistory().CanRedo();
}

// The keeper holds one action, done or undone; its text names what the next Undo or
// Redo would do to it.
std::string DocumentSession::UndoItemText() const {
  return CanUndo() ? UndoMenuText(hypertext()->UndoHistory().Current()) : "Undo";
}

std::string DocumentSession::RedoItemText() const {
  return CanRedo() ? UndoMenuText(hypertext()->UndoHistory().Current()) : "Redo";
}

void DocumentSession::Undo() {
  if (CanUndo()) {
    hypertext()->UndoHistory().Undo();
    selection_.FollowPrimary();
  }
}

void DocumentSession::Redo() {
  if (CanRedo()) {
    hypertext()->UndoHistory().Redo();
    selection_.FollowPrimary();
  }
}

DocumentSession::SaveOutcome DocumentSession::Save() {
  if (!doc_->HasFile()) {
    return SaveOutcome::kNeedsFile;
  }
  RecordLayout();
  idle_->SetBusy(true);
  const bool saved = doc_->DoSave();
  idle_->SetBusy(false);
  return saved ? SaveOutcome::kSaved : SaveOutcome::kFailed;
}

bool DocumentSession::SaveAs(const std::filesystem::path& file) {
  RecordLayout();
  idle_->SetBusy(true);
  const bool saved = doc_->SaveAs(file);
  idle_->SetBusy(false);
  return saved;
}

bool DocumentSession::Revert() {
  if (!doc_->HasFile()) {
    return false;
  }
  // The model is replaced only when the file reads; either way the idle task and the
  // selection start over, since they cannot tell which model they will find.
  selection_.Reset(nullptr);
  idle_.reset();
  const bool reverted = doc_->DoRevert();
  StartIdleTask();
  RestoreLayout();
  if (replaced_) {
    replaced_();
  }
  return reverted;
}

std::string DocumentSession::CloseQuestion() const {
  return "Do you want to save the changes you made in the document \u201c" +
         doc_->NameForSaveQuestion() + "\u201d?\n\nYour changes will be lost if you don't save them.";
}

void DocumentSession::Idle() {
  if (shell_.asking() || idle_->busy()) {
    return;
  }
  ScopedShell scoped(&shell_);
  idle_->SpendTime();
}

void DocumentSession::WithShell(const std::function<void()>& work) {
  ScopedShell scoped(&shell_);
  work();
}

}  // namespace fernweave
