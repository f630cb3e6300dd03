#pragma once

#include "motion/motion_host.h"
#include "motion/motion_host_interface.h"

#include <QString>
#include <QWidget>

namespace kestrova::motion {

class CMotionWindow;

// The motion configuration control as a page scripts it. Its invokable methods are listed
// in the order of the automation interface (ids 1 to 10; AboutBox last). Every method but
// AboutBox forwards to the one CMotionWindow, which covers the control. Hosts that load
// the control from its module use MotionHostInterface for the rest.
class COrloMotionDetectCtrl : public QWidget, public MotionHostInterface {
    Q_OBJECT
    Q_INTERFACES(kestrova::motion::MotionHostInterface)
public:
    explicit COrloMotionDetectCtrl(QWidget* parent = nullptr);
    ~COrloMotionDetectCtrl() override;

    Q_INVOKABLE void StopPlay();
    Q_INVOKABLE long GetMotionIndicator(short nIdx);
    Q_INVOKABLE long GetMotionThrehold(short nIdx);
    Q_INVOKABLE void SetMotionThrehold(short nIdx, short nValue);
    Q_INVOKABLE void MotionApply();
    Q_INVOKABLE void MotionEnable(short nIdx, short nVal);
    Q_INVOKABLE long GetMotionEnable(short nIdx);
    Q_INVOKABLE bool SetSource(const QString& szUrl, const QString& szFrameType, short nOcxType,
                               const QString& szAuth);
    Q_INVOKABLE QString GetMotionTitle(short nIdx);
    Q_INVOKABLE void SetMotionTitle(short nIdx, const QString& szTitle);
    Q_INVOKABLE void AboutBox();

    // The control's window is created: CMotionWindow's window comes with it.
    void CreateControlWindow();

    CMotionWindow& Window() { return *window_; }
    void SetTimings(const MotionTimings& timings);

    // MotionHostInterface.
    void SetDialogHost(MotionDialogHost* host) override;
    QString MessageText() const override;
    bool LastSaveConfirmed() const override;
    AreaSet Areas() const override;
    ViewArea View() const override;
    bool SetAreaTitle(int index, const std::string& title) override;
    void ConfirmView() override;
    void CancelView() override;
    uint64_t PicturesDrawn() const override;
    std::string EngineText() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CMotionWindow* window_;
    MotionDialogHost* host_ = nullptr;
};

} // namespace kestrova::motion
