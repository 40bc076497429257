// CObject: the common polymorphic base of the system's records. Like its
// namesake it cannot be copied; records that copy define their own Copy.
#pragma once

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
    virtual ~CObject() = default;

    // Records have no archive form; kept so derived classes may override it.
    virtual void Serialize() {}
};
