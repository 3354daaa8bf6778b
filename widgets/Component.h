#pragma once

#include <string>
#include <vector>

#include "widgets/Types.h"

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The most-derived class's name, e.g. "TSplitPanel".
  std::string ClassName() const;
};

// A component has an owner that destroys it, unless it was destroyed first.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return FComponentCount; }
  // Owned components in creation order; walking is linear, so keep it for
  // tests and streaming, not for hot paths.
  TComponent* Components(int AIndex) const;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& AName) { FName = AName; }

  // Ask to be told (through Notification) when AComponent is destroyed.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

 protected:
  virtual void Notification(TComponent* AComponent, TOperation AOperation);

 private:
  void InsertOwned(TComponent* AComponent);
  void RemoveOwned(TComponent* AComponent);
  void DestroyComponents();

  TComponent* FOwner = nullptr;
  std::string FName;
  // Owned components form an intrusive doubly linked list so that a tree of
  // thousands of parts can be built and torn down in linear time.
  TComponent* FFirstOwned = nullptr;
  TComponent* FLastOwned = nullptr;
  TComponent* FPrevSibling = nullptr;
  TComponent* FNextSibling = nullptr;
  int FComponentCount = 0;
  std::vector<TComponent*> FFreeNotifies;
};
