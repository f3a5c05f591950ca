#include <ko/koObject.h>
#include <ko/koPointer.h>
#include <ko/koTSharedArray.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

// Counts its own destructions, so that tests see leaks (0) and double frees (2) alike.
class Counted : public ko::koObject {
public:
  explicit Counted(int& destroyed) : mDestroyed(destroyed) {}
  ~Counted() override { ++mDestroyed; }

private:
  int& mDestroyed;
};

struct TrackedElement {
  int* destroyed = nullptr;
  ~TrackedElement() { ++*destroyed; }
};

} // namespace

TEST(koObjectTest, PointersCountEveryWayOfTakingAndDroppingAReference) {
  int destroyed = 0, otherDestroyed = 0;
  Counted* raw = new Counted(destroyed);
  {
    ko::koPointer<Counted> a(raw);
    {
      ko::koPointer<Counted> b = a;
      ko::koPointer<Counted> c;
      c = b;
      ko::koPointer<Counted> d(std::move(c));
      EXPECT_EQ(c, nullptr);
      EXPECT_EQ(raw->GetReferences(), 3);
    }
    EXPECT_EQ(raw->GetReferences(), 1);

    // Self-assignment and re-assigning the held raw pointer: releasing before acquiring would
    // delete the object.
    ko::koPointer<Counted>& alias = a;
    a = alias;
    a = a.Get();
    a = std::move(alias);
    ASSERT_EQ(destroyed, 0);
    EXPECT_EQ(raw->GetReferences(), 1);

    // Move assignment releases what the target held before.
    ko::koPointer<Counted> other(new Counted(otherDestroyed));
    other = std::move(a);
    EXPECT_EQ(otherDestroyed, 1);
    EXPECT_EQ(raw->GetReferences(), 1);

    // A pointer to the base shares the count.
    ko::koPointer<ko::koObject> base(other);
    other = nullptr;
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);

  // Copying an object's value copies its name, never its references.
  ko::koPointer<ko::koObject> named(new ko::koObject);
  named->SetName("part-7");
  ko::koPointer<ko::koObject> holder(new ko::koObject);
  *holder = *named;
  EXPECT_EQ(holder->GetName(), "part-7");
  EXPECT_EQ(holder->GetReferences(), 1);
  EXPECT_EQ(ko::koObject(*named).GetReferences(), 0);
}

TEST(koObjectTest, SharedArrayFreesEveryElementOnce) {
  int destroyed = 0;
  {
    auto* elements = new TrackedElement[3];
    for (int i = 0; i < 3; ++i)
      elements[i].destroyed = &destroyed;
    ko::koPointer<ko::koTSharedArray<TrackedElement>> first(
        new ko::koTSharedArray<TrackedElement>(3, elements));
    ko::koPointer<ko::koTSharedArray<TrackedElement>> second = first;
    EXPECT_EQ(&(*first)[2], elements + 2);
    first = nullptr;
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 3);
}
