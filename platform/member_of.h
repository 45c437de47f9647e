#pragma once
// The class a pointer to member belongs to, and the member's type: for `&C::m`,
// MemberOf<decltype(&C::m)>::Class is C and ::Type the type of m (a function type for a
// member function).

namespace kelna {

template <class>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
  using Class = C;
  using Type = T;
};

}  // namespace kelna
