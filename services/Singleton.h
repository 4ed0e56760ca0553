#pragma once
// Process-wide single instance reached through a static pointer. The instance
// is made by a static initialiser of the derived class and deleted at exit.

template <typename T>
class CSingletonT {
public:
    virtual ~CSingletonT() = default;
    static T* Instance() { return s_instance; }

protected:
    static T* s_instance;
};

template <typename T>
T* CSingletonT<T>::s_instance = nullptr;
