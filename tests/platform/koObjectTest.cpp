#include <ko/koObject.h>
#include <ko/koPointer.h>
#include <ko/koTSharedArray.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

// Counts its own destructions, so that tests see leaks (0) and double frees (2) alike.
struct Counted : ko::koObject {
  explicit Counted(int* counter = nullptr) : destroyed(counter) {}
  ~Counted() override { ++*destroyed; }
  int* destroyed;
};

} // namespace

TEST(koObjectTest, PointersAndCopiesCountEveryReference) {
  int destroyed = 0, otherDestroyed = 0;
  auto* raw = new Counted(&destroyed);
  {
    ko::koPointer<Counted> a(raw), b = a, c;
    c = b;
    ko::koPointer<Counted> d(std::move(c));
    EXPECT_TRUE(c == nullptr && raw->GetReferences() == 3);
    b = nullptr;
    d = nullptr;
    // Given the object it holds, its only reference, a pointer must acquire before releasing.
    ko::koPointer<Counted>& alias = a;
    a = a.Get();
    a = std::move(alias);
    ASSERT_TRUE(destroyed == 0 && raw->GetReferences() == 1);
    // Move assignment releases what the target held; a pointer to the base shares the count.
    ko::koPointer<Counted> other(new Counted(&otherDestroyed));
    other = std::move(a);
    ko::koPointer<ko::koObject> base(other);
    other = nullptr;
    EXPECT_TRUE(otherDestroyed == 1 && destroyed == 0 && raw->GetReferences() == 1);
  }
  EXPECT_EQ(destroyed, 1);

  // Copying an object, by construction or assignment, copies its name, never its references.
  ko::koPointer<ko::koObject> named(new ko::koObject), again = named;
  named->SetName("part-7");
  ko::koPointer<ko::koObject> copy(new ko::koObject(*named));
  *copy = *named;
  EXPECT_TRUE(copy->GetReferences() == 1 && copy->GetName() == "part-7");

  // A shared array frees every element once, with its last reference.
  auto* elements = new Counted[3];
  for (int i = 0; i < 3; ++i)
    elements[i].destroyed = &destroyed;
  ko::koPointer<ko::koTSharedArray<Counted>> first(new ko::koTSharedArray<Counted>(3, elements));
  ko::koPointer<ko::koTSharedArray<Counted>> second = first;
  first = nullptr;
  EXPECT_TRUE(destroyed == 1 && &(*second)[2] == elements + 2);
  second = nullptr;
  EXPECT_EQ(destroyed, 4); // the three elements and the first object above
}
