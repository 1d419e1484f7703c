<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>AboutWindowGUI</name>
    <message>
        <source>About Parvesta</source>
        <translation>О программе Parvesta</translation>
    </message>
    <message>
        <source>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;MS Shell Dlg 2&apos;; font-size:8.25pt; font-weight:400; font-style:normal;&quot; bgcolor=&quot;#000000&quot;&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;img src=&quot;:/Image/logo.bmp&quot; /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:16pt; font-weight:600; color:#ffffff;&quot;&gt;Parvesta v3.0&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:16pt; font-weight:600;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:16pt; font-weight:600;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;developed by&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;Halvorsen Measurement Systems&lt;br /&gt;(HMS)&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;Trondheim, Norway&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt; color:#ffffff;&quot;&gt;&lt;br /&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;MS Shell Dlg 2&apos;; font-size:8.25pt; font-weight:400; font-style:normal;&quot; bgcolor=&quot;#000000&quot;&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;img src=&quot;:/Image/logo.bmp&quot; /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:8pt;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:16pt; font-weight:600; color:#ffffff;&quot;&gt;Parvesta v3.0&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:16pt; font-weight:600;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:16pt; font-weight:600;&quot;&gt;&lt;br /&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;разработчик&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;Halvorsen Measurement Systems&lt;br /&gt;(HMS)&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;&lt;span style=&quot; font-size:12pt; color:#ffffff;&quot;&gt;Тронхейм, Норвегия&lt;/span&gt;&lt;/p&gt;
&lt;p align=&quot;center&quot; style=&quot;-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt; color:#ffffff;&quot;&gt;&lt;br /&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>CArchive</name>
    <message>
        <source>the folder of %1 cannot be made</source>
        <translation>не удаётся создать папку для %1</translation>
    </message>
    <message>
        <source>the database driver for %1 is missing</source>
        <translation>нет драйвера базы данных для %1</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>не удаётся открыть %1: %2</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>не удаётся прочитать %1: %2</translation>
    </message>
    <message>
        <source>%1 was made by a newer version of the program (archive version %2; this one knows up to %3), and is left as it is</source>
        <translation>%1 создан более новой версией программы (версия архива %2; эта знает версии до %3) и оставлен без изменений</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>не удаётся записать %1: %2</translation>
    </message>
    <message>
        <source>no transfer %1 in %2</source>
        <translation>передачи %1 нет в %2</translation>
    </message>
    <message>
        <source>%1 is not a lab archive address: postgresql://HOST[:PORT]/DATABASE[?user=NAME] is wanted</source>
        <translation>%1 — не адрес архива лаборатории: нужен адрес вида postgresql://ХОСТ[:ПОРТ]/БАЗА[?user=ИМЯ]</translation>
    </message>
    <message>
        <source>%1: the port must be 1 to 65535</source>
        <translation>%1: порт должен быть от 1 до 65535</translation>
    </message>
</context>
<context>
    <name>CQuorvanta</name>
    <message>
        <source>Data/</source>
        <translation>Data/</translation>
    </message>
    <message>
        <source>Data transfer completed successfully.</source>
        <translation>Данные успешно переданы.</translation>
    </message>
    <message>
        <source>Data transfer failed! Please try again.</source>
        <translation>Ошибка передачи данных! Повторите попытку.</translation>
    </message>
    <message>
        <source>VX-40(VX-41)
Connect the device to PC with the USB cable.
In SETUP menu select 
DATA TRANSFER.
Press F2(Execute) button on the device.

TR-620(М)
Bring the device to the IR receiver.
In SETUP menu select DATA TRANSFER.
Press ENTER button on the device.

VX-77
Connect the device to PC with the USB cable.</source>
        <translation>VX-40(VX-41)
Подключите прибор к ПК USB-кабелем.
В меню SETUP выберите 
DATA TRANSFER.
Нажмите на приборе кнопку F2(Execute).

TR-620(М)
Поднесите прибор к ИК-приёмнику.
В меню SETUP выберите DATA TRANSFER.
Нажмите на приборе кнопку ENTER.

VX-77
Подключите прибор к ПК USB-кабелем.</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Группа</translation>
    </message>
    <message>
        <source>of</source>
        <translation>из</translation>
    </message>
    <message>
        <source>m/s</source>
        <translation>м/с</translation>
    </message>
    <message>
        <source>us</source>
        <translation>мкс</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>мм</translation>
    </message>
    <message>
        <source>Inches</source>
        <translation>дюйм.</translation>
    </message>
    <message>
        <source>&quot;Group&quot;;&quot;Cell&quot;;&quot;Result&quot;;&quot;Unit&quot;</source>
        <translation>&quot;Группа&quot;;&quot;Ячейка&quot;;&quot;Значение&quot;;&quot;Ед. изм.&quot;</translation>
    </message>
    <message>
        <source>Received data will be lost. Do you want to save it?</source>
        <translation>Полученные данные будут потеряны. Сохранить их?</translation>
    </message>
    <message>
        <source>Received data was not saved.</source>
        <translation>Полученные данные не сохранены.</translation>
    </message>
    <message>
        <source>Data transfer</source>
        <translation>Передача данных</translation>
    </message>
    <message>
        <source>you may not write in this folder; choose another one</source>
        <translation>у вас нет права записи в эту папку; выберите другую</translation>
    </message>
    <message>
        <source>the file is write-protected; choose another name or remove the protection</source>
        <translation>файл защищён от записи; выберите другое имя или снимите защиту</translation>
    </message>
    <message>
        <source>the disk is full; free some space or choose another disk</source>
        <translation>диск заполнен; освободите место или выберите другой диск</translation>
    </message>
    <message>
        <source>the folder does not exist (was a drive taken away?); choose another folder</source>
        <translation>папка не существует (отключён диск?); выберите другую папку</translation>
    </message>
    <message>
        <source>the disk can only be read; choose another disk</source>
        <translation>диск доступен только для чтения; выберите другой диск</translation>
    </message>
    <message>
        <source>a folder or a device has this name; choose another name</source>
        <translation>это имя занято папкой или устройством; выберите другое имя</translation>
    </message>
    <message>
        <source>No instrument was found.</source>
        <translation>Прибор не найден.</translation>
    </message>
    <message>
        <source>The instrument&apos;s port %1 is not there any more. Connect the instrument again; Parvesta looks for it by itself.</source>
        <translation>Порта прибора %1 больше нет. Подключите прибор снова; Parvesta найдёт его сама.</translation>
    </message>
    <message>
        <source>Another program is using the port %1. Close that program (or the other Parvesta window) and try again.</source>
        <translation>Порт %1 занят другой программой. Закройте её (или другое окно Parvesta) и попробуйте снова.</translation>
    </message>
    <message>
        <source>You may not open the port %1. Ask for access to serial ports (the dialout group) and log in again.</source>
        <translation>Нет прав на открытие порта %1. Попросите доступ к последовательным портам (группа dialout) и войдите в систему заново.</translation>
    </message>
    <message>
        <source>%1 is not a serial port.</source>
        <translation>%1 не является последовательным портом.</translation>
    </message>
    <message>
        <source>The port %1 does not take the line settings the instrument needs.</source>
        <translation>Порт %1 не принимает параметры линии, нужные прибору.</translation>
    </message>
    <message>
        <source>The port %1 could not be opened.</source>
        <translation>Не удалось открыть порт %1.</translation>
    </message>
    <message>
        <source>%1 is not there</source>
        <translation>%1 отсутствует</translation>
    </message>
    <message>
        <source>%1 is in use by another program</source>
        <translation>%1 занят другой программой</translation>
    </message>
    <message>
        <source>no permission for %1; add the user to the dialout group</source>
        <translation>нет прав на %1; добавьте себя в группу dialout</translation>
    </message>
    <message>
        <source>%1 is not a serial device</source>
        <translation>%1 не является последовательным портом</translation>
    </message>
    <message>
        <source>%1 is the system console</source>
        <translation>%1 — системная консоль</translation>
    </message>
    <message>
        <source>%1 refuses the line settings</source>
        <translation>%1 не принимает параметры линии</translation>
    </message>
    <message>
        <source>%1 could not be opened</source>
        <translation>не удалось открыть %1</translation>
    </message>
    <message>
        <source>Virtual instrument on COM%1</source>
        <translation>Виртуальный прибор на COM%1</translation>
    </message>
    <message>
        <source>Instrument on %1</source>
        <translation>Прибор на %1</translation>
    </message>
    <message>
        <source>No instrument found: %1</source>
        <translation>Прибор не найден: %1</translation>
    </message>
    <message>
        <source>No instrument found: no serial port to try</source>
        <translation>Прибор не найден: нет последовательных портов для опроса</translation>
    </message>
    <message>
        <source>No instrument found (1 port tried)</source>
        <translation>Прибор не найден (опрошен 1 порт)</translation>
    </message>
    <message numerus="yes">
        <source>No instrument found (%n ports tried)</source>
        <translation>
            <numerusform>Прибор не найден (опрошен %n порт)</numerusform>
            <numerusform>Прибор не найден (опрошено %n порта)</numerusform>
            <numerusform>Прибор не найден (опрошено %n портов)</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 answered as the instrument</source>
        <translation>%1 ответил как прибор</translation>
    </message>
    <message>
        <source>%1 is the virtual device</source>
        <translation>%1 — виртуальный прибор</translation>
    </message>
    <message>
        <source>%1 did not answer</source>
        <translation>%1 не ответил</translation>
    </message>
    <message>
        <source>%1 answered, but not as the instrument</source>
        <translation>%1 ответил, но это не прибор</translation>
    </message>
    <message>
        <source>%1 was not asked</source>
        <translation>%1 не опрашивался</translation>
    </message>
    <message>
        <source>Measurements</source>
        <translation>Измерения</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Статистика</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Ед. изм.</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>Число</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Минимум</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Максимум</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>Среднее</translation>
    </message>
    <message>
        <source>Std. deviation</source>
        <translation>Ст. отклонение</translation>
    </message>
    <message>
        <source>you may change the file, but the folder does not let you add a new file beside it, so the file cannot be replaced safely here; choose another folder</source>
        <translation>файл можно изменять, но в его папке нельзя создать новый файл, поэтому здесь его нельзя безопасно заменить; выберите другую папку</translation>
    </message>
    <message>
        <source>Settings.ini could not be understood; it is kept as it is and the defaults are used.</source>
        <translation>Settings.ini не распознан и оставлен как есть; настройки по умолчанию.</translation>
    </message>
    <message>
        <source>The instrument announced %1 pages of results; this program reads at most %2.</source>
        <translation>Прибор сообщил о %1 страницах результатов; программа читает не более %2.</translation>
    </message>
    <message>
        <source>the name of the folder or of the file is not UTF-8 text, which this program cannot write to; choose another folder or name</source>
        <translation>имя папки или файла записано не в UTF-8, и программа не может туда записать; выберите другую папку или другое имя</translation>
    </message>
    <message>
        <source>The request could not be sent to the instrument on %1.</source>
        <translation>Не удалось отправить запрос прибору на %1.</translation>
    </message>
    <message>
        <source>Not archived: %1</source>
        <translation>Не сохранено в архиве: %1</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Загрузка</translation>
    </message>
    <message>
        <source>Downloaded (UTC)</source>
        <translation>Считано (UTC)</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Компьютер</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Прибор</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Страницы</translation>
    </message>
    <message>
        <source>Pages received</source>
        <translation>Получено страниц</translation>
    </message>
    <message>
        <source>Pages announced</source>
        <translation>Объявлено страниц</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>Программа</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>Передача</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>полностью</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>не полностью</translation>
    </message>
    <message>
        <source>Archived on this PC; the lab archive is not reachable: %1</source>
        <translation>Сохранено в архиве на этом компьютере; архив лаборатории недоступен: %1</translation>
    </message>
    <message>
        <source>Limits.ini could not be understood; it is kept as it is and no limits are used.</source>
        <translation>Limits.ini не распознан и оставлен как есть; допуски не применяются.</translation>
    </message>
    <message>
        <source>Reading</source>
        <translation>Показание</translation>
    </message>
    <message>
        <source>Reading (%1)</source>
        <translation>Показание (%1)</translation>
    </message>
    <message>
        <source>Histogram</source>
        <translation>Гистограмма</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Показания</translation>
    </message>
    <message>
        <source>Mean ± 3 s</source>
        <translation>Среднее ± 3 s</translation>
    </message>
    <message>
        <source>Run chart</source>
        <translation>Карта хода</translation>
    </message>
    <message>
        <source>Outside the limits</source>
        <translation>Вне допуска</translation>
    </message>
    <message>
        <source>Low limit</source>
        <translation>Нижний допуск</translation>
    </message>
    <message>
        <source>High limit</source>
        <translation>Верхний допуск</translation>
    </message>
    <message>
        <source>Cell</source>
        <translation>Ячейка</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Страница %1 из %2</translation>
    </message>
    <message>
        <source>Measurement report</source>
        <translation>Протокол измерений</translation>
    </message>
    <message>
        <source>incomplete: %1 of %2 pages</source>
        <translation>неполная: %1 из %2 страниц</translation>
    </message>
    <message>
        <source>complete: %1 of %2 pages</source>
        <translation>полная: %1 из %2 страниц</translation>
    </message>
    <message>
        <source>Transferred</source>
        <translation>Считано</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Примечание</translation>
    </message>
    <message>
        <source>Pass</source>
        <translation>Годно</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>Допуск</translation>
    </message>
    <message>
        <source>low</source>
        <translation>ниже</translation>
    </message>
    <message>
        <source>high</source>
        <translation>выше</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Нижний допуск</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Верхний допуск</translation>
    </message>
    <message>
        <source>Nominal</source>
        <translation>Номинал</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>Брак</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>Графики</translation>
    </message>
    <message>
        <source>%1 above the high limit, %2 below the low limit</source>
        <translation>%1 выше верхнего допуска, %2 ниже нижнего допуска</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Cp</source>
        <translation>Cp</translation>
    </message>
    <message>
        <source>Cpk</source>
        <translation>Cpk</translation>
    </message>
    <message>
        <source>Limits</source>
        <translation>Допуски</translation>
    </message>
</context>
<context>
    <name>CReadOut</name>
    <message>
        <source>No measurements in connected device!</source>
        <translation>В подключённом приборе нет результатов измерений!</translation>
    </message>
    <message>
        <source>The transfer could not start.</source>
        <translation>Передачу не удалось начать.</translation>
    </message>
</context>
<context>
    <name>CliTool</name>
    <message>
        <source>unknown command %1</source>
        <translation>неизвестная команда %1</translation>
    </message>
    <message>
        <source>scan takes no arguments</source>
        <translation>scan не принимает аргументов</translation>
    </message>
    <message>
        <source>--timeout wants a number of seconds, 1 or more</source>
        <translation>--timeout требует число секунд, не меньше 1</translation>
    </message>
    <message>
        <source>--speed wants a speed in bits per second</source>
        <translation>--speed требует скорость в битах в секунду</translation>
    </message>
    <message>
        <source>No data came from %1 for %2 s: the transfer stopped.</source>
        <translation>От %1 не поступало данных %2 с: передача остановлена.</translation>
    </message>
    <message>
        <source>Kept the %1 measurements of %2 of %3 pages.</source>
        <translation>Сохранено измерений: %1, страниц %2 из %3.</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>%1 не удаётся прочитать: %2</translation>
    </message>
    <message>
        <source>%1 is not a reply of a known instrument.</source>
        <translation>%1 не является ответом известного прибора.</translation>
    </message>
    <message>
        <source>--format wants csv, xlsx or json</source>
        <translation>--format требует csv, xlsx или json</translation>
    </message>
    <message>
        <source>a workbook needs a file: -o FILE.xlsx</source>
        <translation>для книги нужен файл: -o ФАЙЛ.xlsx</translation>
    </message>
    <message>
        <source>--decimal wants . or ,</source>
        <translation>--decimal требует . или ,</translation>
    </message>
    <message>
        <source>%1 could not be written: %2.</source>
        <translation>Не удалось записать %1: %2.</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>Сохранено в %1</translation>
    </message>
    <message>
        <source>add the user to the dialout group</source>
        <translation>добавьте пользователя в группу dialout</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>%1 wants a value</source>
        <translation>%1 требует значения</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 не принимает значения</translation>
    </message>
    <message>
        <source>stats wants at most one saved reply</source>
        <translation>stats принимает не более одного сохранённого ответа</translation>
    </message>
    <message>
        <source>Standard output could not be written: %1.</source>
        <translation>Не удалось записать в стандартный вывод: %1.</translation>
    </message>
    <message>
        <source>--%1 wants a file name</source>
        <translation>--%1 требует имени файла</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2.</source>
        <translation>%1 не удаётся записать: %2.</translation>
    </message>
    <message>
        <source>The instrument was not read.</source>
        <translation>Прибор не опрашивался.</translation>
    </message>
    <message>
        <source>%1 is not a port number: ports are numbered from COM1 to COM%2</source>
        <translation>%1 — не номер порта: порты нумеруются от COM1 до COM%2</translation>
    </message>
    <message>
        <source>%1 is out of range: ports are numbered from COM1 to COM%2</source>
        <translation>%1 вне допустимого диапазона: порты нумеруются от COM1 до COM%2</translation>
    </message>
    <message>
        <source>%1 was cut short: %2 of the %3 pages the instrument announced are whole.</source>
        <translation>%1 оборван: целыми пришли %2 из %3 страниц, о которых сообщил прибор.</translation>
    </message>
    <message>
        <source>Nothing was written; --keep-partial writes the records of the whole pages.</source>
        <translation>Ничего не записано; с --keep-partial записываются измерения целых страниц.</translation>
    </message>
    <message>
        <source>%1 takes no file</source>
        <translation>%1 не принимает файла</translation>
    </message>
    <message>
        <source>%1 wants one saved reply</source>
        <translation>%1 требует один сохранённый ответ</translation>
    </message>
    <message>
        <source>--format wants csv, xlsx, json or bin</source>
        <translation>для --format укажите csv, xlsx, json или bin</translation>
    </message>
    <message>
        <source>--archive wants a file name</source>
        <translation>для --archive укажите имя файла</translation>
    </message>
    <message>
        <source>history export wants one transfer id</source>
        <translation>для history export укажите один идентификатор передачи</translation>
    </message>
    <message>
        <source>history import wants one saved reply</source>
        <translation>для history import укажите один сохранённый ответ</translation>
    </message>
    <message>
        <source>history knows export and import, not %1</source>
        <translation>history понимает export и import, но не %1</translation>
    </message>
    <message>
        <source>history takes no arguments</source>
        <translation>history не принимает аргументов</translation>
    </message>
    <message>
        <source>%1 holds no measurements: nothing was archived.</source>
        <translation>В %1 нет измерений: в архив ничего не сохранено.</translation>
    </message>
    <message>
        <source>report wants one saved reply, or history and an id</source>
        <translation>report ожидает один сохранённый ответ или history и номер</translation>
    </message>
    <message>
        <source>a report needs a file: -o FILE.pdf</source>
        <translation>протоколу нужен файл: -o FILE.pdf</translation>
    </message>
    <message>
        <source>a report is always PDF: --format is not for report</source>
        <translation>протокол всегда в PDF: --format не для report</translation>
    </message>
    <message>
        <source>--limits %1 cannot be read: %2</source>
        <translation>--limits %1 не читается: %2</translation>
    </message>
    <message>
        <source>--limits %1 is not a limits file: it wants a line [Limits], then lines like Group=3;Unit=mm;Low=1.20;High=1.24;Nominal=</source>
        <translation>--limits %1 не является файлом допусков: нужна строка [Limits], затем строки вида Group=3;Unit=mm;Low=1.20;High=1.24;Nominal=</translation>
    </message>
    <message>
        <source>--limit %1: %2</source>
        <translation>--limit %1: %2</translation>
    </message>
    <message>
        <source>--limit %1: group %2 has a --limit already</source>
        <translation>--limit %1: для группы %2 --limit уже задан</translation>
    </message>
    <message>
        <source>stats writes a table, or JSON with --format json or -o FILE.json</source>
        <translation>stats пишет таблицу или JSON (--format json или -o ФАЙЛ.json)</translation>
    </message>
</context>
<context>
    <name>HelpWindowGUI</name>
    <message>
        <source> Help Quorvanta</source>
        <translation> Справка Quorvanta</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Date and time</source>
        <translation>Дата и время</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Семейство</translation>
    </message>
    <message>
        <source>Measurements</source>
        <translation>Измерения</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Страницы</translation>
    </message>
    <message>
        <source>Saved files</source>
        <translation>Сохранённые файлы</translation>
    </message>
    <message>
        <source>The archive cannot be shown: %1</source>
        <translation>Архив нельзя показать: %1</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>полная</translation>
    </message>
    <message>
        <source>partial: %1 of %2 pages</source>
        <translation>неполная: %1 из %2 страниц</translation>
    </message>
    <message>
        <source>No transfers</source>
        <translation>Нет передач</translation>
    </message>
    <message>
        <source>%1–%2 of %3</source>
        <translation>%1–%2 из %3</translation>
    </message>
    <message>
        <source>Delete transfer</source>
        <translation>Удаление передачи</translation>
    </message>
    <message numerus="yes">
        <source>Delete the transfer of %1 (%2, %n measurements) from the archive? Files saved of it stay where they are.</source>
        <translation>
            <numerusform>Удалить из архива передачу от %1 (%2, %n измерение)? Сохранённые из неё файлы останутся на месте.</numerusform>
            <numerusform>Удалить из архива передачу от %1 (%2, %n измерения)? Сохранённые из неё файлы останутся на месте.</numerusform>
            <numerusform>Удалить из архива передачу от %1 (%2, %n измерений)? Сохранённые из неё файлы останутся на месте.</numerusform>
        </translation>
    </message>
    <message>
        <source>The transfer could not be deleted: %1</source>
        <translation>Передачу не удалось удалить: %1</translation>
    </message>
</context>
<context>
    <name>HistoryWindowGUI</name>
    <message>
        <source>History</source>
        <translation>Журнал</translation>
    </message>
    <message>
        <source>Find: family, instrument, port, station, file</source>
        <translation>Поиск: семейство, прибор, порт, компьютер, файл</translation>
    </message>
    <message>
        <source>From</source>
        <translation>С</translation>
    </message>
    <message>
        <source>To</source>
        <translation>по</translation>
    </message>
    <message>
        <source>Newer</source>
        <translation>Новее</translation>
    </message>
    <message>
        <source>Older</source>
        <translation>Старее</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Открыть</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Save measurements as</source>
        <translation>Сохранить результаты измерений как</translation>
    </message>
    <message>
        <source>Measurements (*.csv)</source>
        <translation>Результаты измерений (*.csv)</translation>
    </message>
    <message>
        <source>index.html</source>
        <translation>index_ru.html</translation>
    </message>
    <message>
        <source>Parvesta help</source>
        <translation>Справка Parvesta</translation>
    </message>
    <message>
        <source>The file %1 could not be saved: %2.</source>
        <translation>Не удалось сохранить файл %1: %2.</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>Сохранено в %1</translation>
    </message>
    <message>
        <source>The results were saved. The name of the folder %1 holds a line break, so the next save starts in the folder used before.</source>
        <translation>Результаты сохранены. Имя папки %1 содержит перевод строки, поэтому следующее сохранение начнётся в прежней папке.</translation>
    </message>
    <message numerus="yes">
        <source>The transfer did not complete. Keep the %n measurements from %1 of %2 pages received?</source>
        <translation>
            <numerusform>Передача не завершена. Оставить %n измерение из полученных страниц (%1 из %2)?</numerusform>
            <numerusform>Передача не завершена. Оставить %n измерения из полученных страниц (%1 из %2)?</numerusform>
            <numerusform>Передача не завершена. Оставить %n измерений из полученных страниц (%1 из %2)?</numerusform>
        </translation>
    </message>
    <message>
        <source>Incomplete: %1 of %2 pages</source>
        <translation>Неполные данные: %1 из %2 стр.</translation>
    </message>
    <message>
        <source>Searching for the instrument…</source>
        <translation>Поиск прибора…</translation>
    </message>
    <message>
        <source>1 measurement in 1 group</source>
        <translation>1 измерение в 1 группе</translation>
    </message>
    <message numerus="yes">
        <source>%n measurements in 1 group</source>
        <translation>
            <numerusform>%n измерение в 1 группе</numerusform>
            <numerusform>%n измерения в 1 группе</numerusform>
            <numerusform>%n измерений в 1 группе</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n measurements in %1 groups</source>
        <translation>
            <numerusform>%n измерение, групп: %1</numerusform>
            <numerusform>%n измерения, групп: %1</numerusform>
            <numerusform>%n измерений, групп: %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>Искать снова</translation>
    </message>
    <message>
        <source>Search for the instrument again (F5)</source>
        <translation>Искать прибор снова (F5)</translation>
    </message>
    <message>
        <source>Excel workbook (*.xlsx)</source>
        <translation>Книга Excel (*.xlsx)</translation>
    </message>
    <message>
        <source>Instrument reply (*.bin)</source>
        <translation>Ответ прибора (*.bin)</translation>
    </message>
    <message>
        <source>JSON for other programs (*.json)</source>
        <translation>JSON для других программ (*.json)</translation>
    </message>
    <message>
        <source>No measurements in connected device!</source>
        <translation>В подключённом приборе нет результатов измерений!</translation>
    </message>
    <message>
        <source>No data is arriving. Bring the instrument back to the receiver or check its cable; press Cancel to stop.</source>
        <translation>Данные не поступают. Поднесите прибор обратно к приёмнику или проверьте кабель; чтобы остановить, нажмите «Отмена».</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Выделить всё</translation>
    </message>
    <message>
        <source>No data arriving (%1 % received)</source>
        <translation>Данные не поступают (получено %1 %)</translation>
    </message>
    <message>
        <source>Receiving… %1 %</source>
        <translation>Приём… %1 %</translation>
    </message>
    <message>
        <source>%1 on %2</source>
        <translation>%1 на %2</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>В начало</translation>
    </message>
    <message>
        <source>Connect the instrument</source>
        <translation>Подключите прибор</translation>
    </message>
    <message>
        <source>USB cable</source>
        <translation>USB-кабель</translation>
    </message>
    <message>
        <source>Infrared receiver</source>
        <translation>ИК-приёмник</translation>
    </message>
    <message>
        <source>Press</source>
        <translation>Нажмите</translation>
    </message>
    <message>
        <source>Transfer Data</source>
        <translation>Передать данные</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Port, speed and data folder (%1)</source>
        <translation>Порт, скорость и папка данных (%1)</translation>
    </message>
    <message>
        <source>Transfer of %1</source>
        <translation>Передача от %1</translation>
    </message>
    <message>
        <source>The transfer could not be opened: %1</source>
        <translation>Передачу не удалось открыть: %1</translation>
    </message>
    <message>
        <source>Sort by %1</source>
        <translation>Сортировка: %1</translation>
    </message>
    <message>
        <source>Sort by this column: click or %1; again for the reverse order, a third time for the saved order</source>
        <translation>Сортировать по этому столбцу: щелчок или %1; повторно — в обратном порядке, в третий раз — исходный порядок</translation>
    </message>
    <message>
        <source>Saved order</source>
        <translation>Исходный порядок</translation>
    </message>
    <message>
        <source>PDF report (*.pdf)</source>
        <translation>Протокол PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Above the high limit %1</source>
        <translation>Выше верхнего допуска %1</translation>
    </message>
    <message>
        <source>Below the low limit %1</source>
        <translation>Ниже нижнего допуска %1</translation>
    </message>
</context>
<context>
    <name>MainWindowGUI</name>
    <message>
        <source>Parvesta</source>
        <translation>Parvesta</translation>
    </message>
    <message>
        <source>Transfer data from the device</source>
        <translation>Передать данные из прибора</translation>
    </message>
    <message>
        <source>Transfer Data</source>
        <translation>Передать данные</translation>
    </message>
    <message>
        <source>Save data as .csv</source>
        <translation>Сохранить данные в файл .csv</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Сохранить как</translation>
    </message>
    <message>
        <source>Open help</source>
        <translation>Открыть справку</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Справка</translation>
    </message>
    <message>
        <source>About Quorvanta</source>
        <translation>Сведения о программе</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Группа</translation>
    </message>
    <message>
        <source>Cell</source>
        <translation>Ячейка</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Ед. изм.</translation>
    </message>
    <message>
        <source>background-color: rgb(161, 161, 161);</source>
        <translation>background-color: rgb(161, 161, 161);</translation>
    </message>
    <message>
        <source>Statistics per group</source>
        <translation>Статистика по группам</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Статистика</translation>
    </message>
    <message>
        <source>Transfers kept in the archive</source>
        <translation>Передачи, сохранённые в архиве</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Журнал</translation>
    </message>
</context>
<context>
    <name>ProgressWindowGUI</name>
    <message>
        <source>Receiving Data</source>
        <translation>Приём данных</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Any</source>
        <translation>Любой</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выключено</translation>
    </message>
    <message>
        <source>Data folder</source>
        <translation>Папка данных</translation>
    </message>
    <message>
        <source>The data folder&apos;s name holds a line break, which Settings.ini cannot keep. Choose another folder.</source>
        <translation>Имя папки данных содержит перевод строки, который Settings.ini не может сохранить. Выберите другую папку.</translation>
    </message>
    <message>
        <source>The settings could not be saved in %1: %2.</source>
        <translation>Не удалось сохранить настройки в %1: %2.</translation>
    </message>
</context>
<context>
    <name>SettingsWindowGUI</name>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Settings.ini could not be understood. OK replaces it with the settings shown here; Cancel keeps it as it is.</source>
        <translation>Файл Settings.ini не удалось прочитать. OK заменит его показанными здесь настройками; «Отмена» оставит его как есть.</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Порт:</translation>
    </message>
    <message>
        <source>The port the instrument is looked for on: Any, or only this one</source>
        <translation>Порт, на котором искать прибор: любой или только этот</translation>
    </message>
    <message>
        <source>&amp;Speed (bit/s):</source>
        <translation>&amp;Скорость (бит/с):</translation>
    </message>
    <message>
        <source>&amp;Data folder:</source>
        <translation>Папка &amp;данных:</translation>
    </message>
    <message>
        <source>&amp;Browse…</source>
        <translation>&amp;Обзор…</translation>
    </message>
    <message>
        <source>&amp;Virtual device:</source>
        <translation>&amp;Виртуальное устройство:</translation>
    </message>
    <message>
        <source>A port that shows made-up readings, for trying the program without an instrument</source>
        <translation>Порт с вымышленными показаниями, чтобы опробовать программу без прибора</translation>
    </message>
</context>
<context>
    <name>StatisticsWindow</name>
    <message>
        <source>Low:</source>
        <translation>Нижний:</translation>
    </message>
    <message>
        <source>High:</source>
        <translation>Верхний:</translation>
    </message>
    <message>
        <source>Nominal:</source>
        <translation>Номинал:</translation>
    </message>
    <message>
        <source>Set limits</source>
        <translation>Задать допуски</translation>
    </message>
    <message>
        <source>Report…</source>
        <translation>Протокол…</translation>
    </message>
    <message>
        <source>Print…</source>
        <translation>Печать…</translation>
    </message>
    <message>
        <source>Limits of group %1 in %2, as shown (empty: none):</source>
        <translation>Допуски группы %1 в %2, по показаниям (пусто: нет):</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a number; write it like %2.</source>
        <translation>«%1» — не число; пишите как %2.</translation>
    </message>
    <message>
        <source>The low limit is above the high limit.</source>
        <translation>Нижний допуск выше верхнего.</translation>
    </message>
    <message>
        <source>The limits could not be saved: %1.</source>
        <translation>Допуски не удалось сохранить: %1.</translation>
    </message>
    <message>
        <source>Limits saved.</source>
        <translation>Допуски сохранены.</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Протокол</translation>
    </message>
    <message>
        <source>A note for the report&apos;s title block (may stay empty):</source>
        <translation>Примечание для заголовка протокола (можно оставить пустым):</translation>
    </message>
    <message>
        <source>Save report as</source>
        <translation>Сохранить протокол как</translation>
    </message>
    <message>
        <source>PDF report (*.pdf)</source>
        <translation>Протокол PDF (*.pdf)</translation>
    </message>
    <message>
        <source>The report %1 could not be saved: %2.</source>
        <translation>Протокол %1 не удалось сохранить: %2.</translation>
    </message>
    <message>
        <source>Measurement report</source>
        <translation>Протокол измерений</translation>
    </message>
    <message>
        <source>The printer could not be used.</source>
        <translation>Принтер недоступен.</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
</context>
<context>
    <name>StatisticsWindowGUI</name>
    <message>
        <source>Statistics</source>
        <translation>Статистика</translation>
    </message>
</context>
</TS>
