#include "platform/com_ref.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/ref_counted.h"

namespace vantra::platform {

namespace {

// The platform's own reference counting, noting when the last reference goes.
class Counted : public RefCounted<IUnknown> {
 public:
  explicit Counted(bool& deleted) : _deleted(deleted) {}
  ~Counted() override { _deleted = true; }

 private:
  bool& _deleted;
};

TEST(ComRef, CountsEveryWayOfHolding) {
  struct Case {
    const char* what;
    // Takes the one reference a new object starts with and leaves what the refs hold.
    void (*hold)(IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>& second);
    ULONG references;
    bool firstHolds;
    bool secondHolds;
  };
  const Case cases[] = {
      {"adopted",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>&) {
         first = ComRef<IUnknown>::Adopt(made);
       },
       1, true, false},
      {"copied",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>& second) {
         first = ComRef<IUnknown>::Adopt(made);
         second = first;
       },
       2, true, true},
      {"moved",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>& second) {
         first = ComRef<IUnknown>::Adopt(made);
         second = std::move(first);
       },
       1, false, true},
      {"retained twice",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>&) {
         const auto creation = ComRef<IUnknown>::Adopt(made);
         first.retain(made);
         first.retain(made);
       },
       1, true, false},
      {"retained from another holder",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>& second) {
         first = ComRef<IUnknown>::Adopt(made);
         second = ComRef<IUnknown>::Retain(first.get());
       },
       2, true, true},
      {"written through out",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>&) { *first.out() = made; }, 1,
       true, false},
      {"copied onto itself",
       [](IUnknown* made, ComRef<IUnknown>& first, ComRef<IUnknown>&) {
         first = ComRef<IUnknown>::Adopt(made);
         ComRef<IUnknown>& same = first;
         first = same;
       },
       1, true, false},
  };
  for (const Case& c : cases) {
    bool deleted = false;
    {
      ComRef<IUnknown> first;
      ComRef<IUnknown> second;
      IUnknown* made = new Counted(deleted);
      c.hold(made, first, second);
      EXPECT_EQ((c.firstHolds ? first : second).references(), c.references) << c.what;
      EXPECT_EQ(static_cast<bool>(first), c.firstHolds) << c.what;
      EXPECT_EQ(static_cast<bool>(second), c.secondHolds) << c.what;
      EXPECT_FALSE(deleted) << c.what;
    }
    EXPECT_TRUE(deleted) << c.what << ": the last holder releases";
  }
}

TEST(ComRef, ReleasesWhatItHeldBeforeTakingTheNext) {
  bool firstDeleted = false;
  bool secondDeleted = false;
  bool thirdDeleted = false;
  ComRef<IUnknown> ref = ComRef<IUnknown>::Adopt(new Counted(firstDeleted));
  *ref.out() = new Counted(secondDeleted);
  EXPECT_TRUE(firstDeleted) << "out releases the one held";
  auto next = ComRef<IUnknown>::Adopt(new Counted(thirdDeleted));
  ref.retain(next.get());
  EXPECT_TRUE(secondDeleted) << "retain releases the one held";
  EXPECT_EQ(next.reset(), 1u) << "the count left after this reference";
  EXPECT_EQ(ref.reset(), 0u);
  EXPECT_TRUE(thirdDeleted);
  EXPECT_FALSE(ref);
  EXPECT_EQ(ref.reset(), 0u) << "nothing held, nothing released";
  EXPECT_EQ(ref.references(), 0u);
}

TEST(ComRef, DetachHandsTheReferenceOn) {
  bool deleted = false;
  auto ref = ComRef<IUnknown>::Adopt(new Counted(deleted));
  IUnknown* handedOn = ref.detach();
  EXPECT_FALSE(ref);
  EXPECT_FALSE(deleted) << "the caller holds the reference now";
  const auto taken = ComRef<IUnknown>::Adopt(handedOn);
  EXPECT_EQ(taken.references(), 1u);
}

}  // namespace

}  // namespace vantra::platform
