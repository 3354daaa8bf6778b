#include "widgets/Component.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

std::string TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertOwned(this);
}

TComponent::~TComponent() {
  // Tell everyone who asked; they drop their references to us.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& theirs = other->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveOwned(this);
}

TComponent* TComponent::Components(int AIndex) const {
  TComponent* c = FFirstOwned;
  for (int i = 0; c != nullptr && i < AIndex; ++i) c = c->FNextSibling;
  return AIndex >= 0 ? c : nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  auto add = [](std::vector<TComponent*>& list, TComponent* c) {
    if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
  };
  // Mutual: whichever of the two goes first tells the other.
  add(FFreeNotifies, AComponent);
  add(AComponent->FFreeNotifies, this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  auto drop = [](std::vector<TComponent*>& list, TComponent* c) {
    list.erase(std::remove(list.begin(), list.end(), c), list.end());
  };
  drop(FFreeNotifies, AComponent);
  drop(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* /*AComponent*/, TOperation /*AOperation*/) {}

void TComponent::InsertOwned(TComponent* AComponent) {
  AComponent->FOwner = this;
  AComponent->FPrevSibling = FLastOwned;
  AComponent->FNextSibling = nullptr;
  if (FLastOwned != nullptr)
    FLastOwned->FNextSibling = AComponent;
  else
    FFirstOwned = AComponent;
  FLastOwned = AComponent;
  ++FComponentCount;
}

void TComponent::RemoveOwned(TComponent* AComponent) {
  if (AComponent->FPrevSibling != nullptr)
    AComponent->FPrevSibling->FNextSibling = AComponent->FNextSibling;
  else
    FFirstOwned = AComponent->FNextSibling;
  if (AComponent->FNextSibling != nullptr)
    AComponent->FNextSibling->FPrevSibling = AComponent->FPrevSibling;
  else
    FLastOwned = AComponent->FPrevSibling;
  AComponent->FOwner = nullptr;
  AComponent->FPrevSibling = AComponent->FNextSibling = nullptr;
  --FComponentCount;
}

void TComponent::DestroyComponents() {
  // Newest first; each destructor unlinks itself (and may take others with it).
  while (FLastOwned != nullptr) delete FLastOwned;
}
