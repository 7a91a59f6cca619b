// Command targets and message maps: a class lists which command of which control calls which
// of its member functions, and a command not found in its list is looked up in its base's.
#pragma once

#include "winuser.h"

#ifndef PASCAL
#define PASCAL
#endif

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

// The only handler signature in use: a member function with no arguments and no result.
enum AfxSig { AfxSig_end = 0, AfxSigCmd_v = 1 };

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    UINT_PTR nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();                                           \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                                       \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        typedef baseClass TheBaseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, AfxSig_end, nullptr }                                                            \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn)                                                                  \
    {WM_COMMAND,                                                                                   \
     BN_CLICKED,                                                                                   \
     static_cast<UINT>(id),                                                                        \
     static_cast<UINT>(id),                                                                        \
     AfxSigCmd_v,                                                                                  \
     static_cast<AFX_PMSG>(&ThisClass::memberFxn)},

#define ON_BN_CLICKED(id, memberFxn)                                                               \
    {WM_COMMAND,                                                                                   \
     BN_CLICKED,                                                                                   \
     static_cast<UINT>(id),                                                                        \
     static_cast<UINT>(id),                                                                        \
     AfxSigCmd_v,                                                                                  \
     static_cast<AFX_PMSG>(&ThisClass::memberFxn)},

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Calls the handler that the class's message map (or a base's) lists for the command;
    // FALSE when none does.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
