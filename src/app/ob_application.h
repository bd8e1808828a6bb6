// The program's application object.
#ifndef SRC_APP_OB_APPLICATION_H_
#define SRC_APP_OB_APPLICATION_H_

#include <QApplication>

class OBApplication : public QApplication {
  Q_OBJECT
 public:
  OBApplication(int& argc, char** argv);
};

#endif  // SRC_APP_OB_APPLICATION_H_
