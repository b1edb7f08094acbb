<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About Varnel Reader</source>
        <translation>О программе Varnel Reader</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Varnel Reader&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Varnel Reader&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>lbBuilt</source>
        <translation>lbBuilt</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600; color:#000000;&quot;&gt;Halvern Instruments&lt;/span&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;Tallinn, Estonia&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;mailto:info@halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;info@halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;https://halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;https://halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600; color:#000000;&quot;&gt;Halvern Instruments&lt;/span&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;Таллин, Эстония&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;mailto:info@halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;info@halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;https://halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;https://halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;justify&quot;&gt;The program is provided AS IS with NO WARRANTY OF ANY KIND, INCLUDING THE WARRANTY OF DESIGN, MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE.&lt;/p&gt;&lt;p align=&quot;justify&quot;&gt;Copyright © Halvern Instruments. All rights reserved. The program may not be sold or altered without the maker&apos;s written consent.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;justify&quot;&gt;Программа поставляется «КАК ЕСТЬ», БЕЗ КАКИХ-ЛИБО ГАРАНТИЙ, ВКЛЮЧАЯ ГАРАНТИИ КОНСТРУКЦИИ, ТОВАРНОЙ ПРИГОДНОСТИ И ПРИГОДНОСТИ ДЛЯ КОНКРЕТНОЙ ЦЕЛИ.&lt;/p&gt;&lt;p align=&quot;justify&quot;&gt;Copyright © Halvern Instruments. Все права защищены. Продажа и изменение программы без письменного согласия фирмы запрещены.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Built on: </source>
        <translation>Дата сборки: </translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Версия %1</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>no Bluetooth adapter found</source>
        <translation>локальный адаптер Bluetooth не найден</translation>
    </message>
    <message>
        <source>no instrument &quot;%1&quot; in range</source>
        <translation>прибор «%1» не найден поблизости</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names several instruments, give an address: %2</source>
        <translation>имя «%1» носят несколько приборов, укажите адрес: %2</translation>
    </message>
    <message>
        <source>the link was lost</source>
        <translation>связь потеряна</translation>
    </message>
    <message>
        <source>Connecting to %1</source>
        <translation>Подключение к %1</translation>
    </message>
    <message>
        <source>cannot talk to %1: %2</source>
        <translation>нет связи с %1: %2</translation>
    </message>
    <message>
        <source>Instrument: %1</source>
        <translation>Прибор: %1</translation>
    </message>
    <message>
        <source>Model: TDR %1</source>
        <translation>Модель: TDR %1</translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation>Серийный номер: %1</translation>
    </message>
    <message>
        <source>Version: %1</source>
        <translation>Версия: %1</translation>
    </message>
    <message>
        <source>record %1 is not in the instrument</source>
        <translation>записи %1 нет в приборе</translation>
    </message>
    <message>
        <source>%1 of %2 records</source>
        <translation>%1 из %2 записей</translation>
    </message>
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 из %2 файлов</translation>
    </message>
    <message>
        <source>  date and time: %1 %2</source>
        <translation>  дата и время: %1 %2</translation>
    </message>
    <message>
        <source>  range: %1 m</source>
        <translation>  диапазон: %1 м</translation>
    </message>
    <message>
        <source>  length: %1 m</source>
        <translation>  длина: %1 м</translation>
    </message>
    <message>
        <source>  step: %1 m</source>
        <translation>  шаг: %1 м</translation>
    </message>
    <message>
        <source>  serial number: %1</source>
        <translation>  серийный номер: %1</translation>
    </message>
    <message>
        <source>  samples: %1</source>
        <translation>  отсчётов: %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удалось записать %1: %2</translation>
    </message>
    <message>
        <source>Exit status: 0 all done, 1 partly done (some records failed or were skipped, or Ctrl-C), 2 usage or configuration error, 3 no such device or the link failed.</source>
        <translation>Код завершения: 0 всё выполнено, 1 выполнено частично (часть записей не удалась или пропущена, или Ctrl-C), 2 ошибка вызова или настройки, 3 нет такого прибора или нет связи.</translation>
    </message>
    <message>
        <source>see varnel-cli --help</source>
        <translation>см. varnel-cli --help</translation>
    </message>
    <message>
        <source>Reads and writes the records of a Varnel TDR over Bluetooth.</source>
        <translation>Читает и записывает записи рефлектометра Varnel по Bluetooth.</translation>
    </message>
    <message>
        <source>Machine-readable output on stdout.</source>
        <translation>Машиночитаемый вывод в stdout.</translation>
    </message>
    <message>
        <source>No progress and no summary on stderr.</source>
        <translation>Без хода работы и итога в stderr.</translation>
    </message>
    <message>
        <source>The command to run.</source>
        <translation>Выполняемая команда.</translation>
    </message>
    <message>
        <source>scan: every device; download: every record.</source>
        <translation>scan: все устройства; download: все записи.</translation>
    </message>
    <message>
        <source>Directory for the files (default: the window&apos;s working directory).</source>
        <translation>Каталог для файлов (по умолчанию рабочий каталог окна).</translation>
    </message>
    <message>
        <source>First record slot to write, 0 to 99.</source>
        <translation>Первая ячейка для записи, от 0 до 99.</translation>
    </message>
    <message>
        <source>Export as CSV.</source>
        <translation>Экспорт в CSV.</translation>
    </message>
    <message>
        <source>Write to OUT instead of stdout.</source>
        <translation>Писать в OUT вместо stdout.</translation>
    </message>
    <message>
        <source>Record numbers.</source>
        <translation>Номера записей.</translation>
    </message>
    <message>
        <source>Record files.</source>
        <translation>Файлы записей.</translation>
    </message>
    <message>
        <source>A record file.</source>
        <translation>Файл записи.</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>команда не указана</translation>
    </message>
    <message>
        <source>not a record number: %1</source>
        <translation>не номер записи: %1</translation>
    </message>
    <message>
        <source>upload needs --slot N, N from 0 to 99</source>
        <translation>для upload нужен --slot N, N от 0 до 99</translation>
    </message>
    <message>
        <source>export needs --csv</source>
        <translation>для export нужен --csv</translation>
    </message>
    <message>
        <source>cannot write the output: %1</source>
        <translation>не удаётся записать вывод: %1</translation>
    </message>
    <message>
        <source>wrong arguments for &quot;%1&quot;</source>
        <translation>неверные аргументы для «%1»</translation>
    </message>
    <message>
        <source>cannot create the directory %1</source>
        <translation>не удалось создать каталог %1</translation>
    </message>
    <message>
        <source>download: the records not yet in the directory.</source>
        <translation>download: записи, которых ещё нет в каталоге.</translation>
    </message>
    <message>
        <source>download needs --all, --new or record numbers</source>
        <translation>для download нужен --all, --new или номера записей</translation>
    </message>
    <message>
        <source>stopped before the command was done</source>
        <translation>остановлено, команда не выполнена до конца</translation>
    </message>
    <message>
        <source>no DEVICE given and no instrument remembered; give an address, a name or a serial number</source>
        <translation>DEVICE не указан, и запомненного прибора нет; укажите адрес, имя или заводской номер</translation>
    </message>
    <message>
        <source>Asking %1 for its serial number</source>
        <translation>Запрос заводского номера у %1</translation>
    </message>
    <message>
        <source>Nothing new to download (1 record already in %1).</source>
        <translation>Загружать нечего (1 запись уже в %1).</translation>
    </message>
    <message>
        <source>Nothing new to download (%1 records already in %2).</source>
        <translation>Загружать нечего (записей уже в %2: %1).</translation>
    </message>
    <message>
        <source>The instrument holds no records.</source>
        <translation>В приборе нет записей.</translation>
    </message>
    <message>
        <source>DEVICE may be an address, a name in any case, or a serial number (six digits as the instrument shows it); left out, it is the instrument the window remembers.</source>
        <translation>DEVICE — адрес, имя в любом регистре или заводской номер (шесть цифр, как его показывает прибор); если не указан — прибор, запомненный окном.</translation>
    </message>
    <message>
        <source>varnel-cli COMMAND --help describes one command.</source>
        <translation>varnel-cli КОМАНДА --help описывает одну команду.</translation>
    </message>
    <message>
        <source>Lists the instruments in range, address and name.</source>
        <translation>Перечисляет приборы поблизости: адрес и имя.</translation>
    </message>
    <message>
        <source>Prints the instrument&apos;s model, serial number and version.</source>
        <translation>Выводит модель, заводской номер и версию прибора.</translation>
    </message>
    <message>
        <source>Prints the records stored in the instrument.</source>
        <translation>Выводит записи, хранящиеся в приборе.</translation>
    </message>
    <message>
        <source>Downloads records into *.tdr files named as the window names them: every record (--all), those not yet in the directory (--new), or the record numbers given.</source>
        <translation>Загружает записи в файлы *.tdr с теми же именами, что даёт окно: все записи (--all), те, которых ещё нет в папке (--new), или записи с указанными номерами.</translation>
    </message>
    <message>
        <source>Writes record files into the instrument&apos;s record slots from N on.</source>
        <translation>Записывает файлы записей в ячейки прибора, начиная с N.</translation>
    </message>
    <message>
        <source>Writes a record file as the viewer&apos;s CSV.</source>
        <translation>Записывает файл записи в CSV, как просмотрщик.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Неизвестная команда «%1».</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;; did you mean &quot;%2&quot;?</source>
        <translation>Неизвестная команда «%1»; может быть, «%2»?</translation>
    </message>
    <message>
        <source>Address, name or serial number; left out: the remembered instrument.</source>
        <translation>Адрес, имя или заводской номер; если не указан — запомненный прибор.</translation>
    </message>
    <message>
        <source>--%1 may be given once</source>
        <translation>--%1 можно указать только один раз</translation>
    </message>
    <message>
        <source>No instrument found.</source>
        <translation>Приборы не найдены.</translation>
    </message>
    <message>
        <source>  no launch pulse: strengths are levels off the baseline, distances are from the start of the trace</source>
        <translation>  нет зондирующего импульса: сила указана в уровнях от базовой линии, расстояния отсчитаны от начала рефлектограммы</translation>
    </message>
    <message>
        <source>  no events above the noise</source>
        <translation>  нет событий выше шума</translation>
    </message>
    <message>
        <source>  event %1: %2  %3  %4</source>
        <translation>  событие %1: %2  %3  %4</translation>
    </message>
    <message>
        <source>  cable end: %1</source>
        <translation>  конец кабеля: %1</translation>
    </message>
    <message>
        <source>  cable end: no end within the trace</source>
        <translation>  конец кабеля: в пределах рефлектограммы конца нет</translation>
    </message>
    <message>
        <source>Prints a record file&apos;s date and time, range, length, step, serial number, samples and events.</source>
        <translation>Печатает дату и время, диапазон, длину, шаг, серийный номер, отсчёты и события файла записи.</translation>
    </message>
    <message>
        <source>Prints a record file&apos;s events and the cable end.</source>
        <translation>Печатает события файла записи и конец кабеля.</translation>
    </message>
    <message>
        <source>%1 → slot %2 (holds a record)</source>
        <translation>%1 → ячейка %2 (в ней есть запись)</translation>
    </message>
    <message>
        <source>%1 → slot %2</source>
        <translation>%1 → ячейка %2</translation>
    </message>
    <message>
        <source>slots that hold records: %1; nothing was written (--overwrite replaces them)</source>
        <translation>в ячейках уже есть записи: %1; ничего не записано (--overwrite заменит их)</translation>
    </message>
    <message>
        <source>upload: also write slots that hold records.</source>
        <translation>upload: записывать и в ячейки, где уже есть записи.</translation>
    </message>
    <message>
        <source>upload: show which file goes to which slot, and which slots hold records; write nothing.</source>
        <translation>upload: показать, какой файл в какую ячейку пойдёт и в каких ячейках уже есть записи; ничего не записывать.</translation>
    </message>
    <message>
        <source>upload: read every written slot back and compare it with the file.</source>
        <translation>upload: прочитать каждую записанную ячейку и сравнить с файлом.</translation>
    </message>
    <message>
        <source>older: %1</source>
        <translation>старая: %1</translation>
    </message>
    <message>
        <source>newer: %1</source>
        <translation>новая: %1</translation>
    </message>
    <message>
        <source>  no events above the noise in either trace</source>
        <translation>  ни на одной рефлектограмме нет событий выше шума</translation>
    </message>
    <message>
        <source>%1 (was %2)</source>
        <translation>%1 (было %2)</translation>
    </message>
    <message>
        <source>  event %1: %2  %3  %4  %5</source>
        <translation>  событие %1: %2  %3  %4  %5</translation>
    </message>
    <message>
        <source>  largest difference: %1 levels at %2 m (newer minus older, every %3 m%4)</source>
        <translation>  наибольшая разность: %1 уровней на %2 м (новая минус старая, через каждые %3 м%4)</translation>
    </message>
    <message>
        <source>, resampled</source>
        <translation>, с пересчётом</translation>
    </message>
    <message>
        <source>Prints both records&apos; events counted from their launch pulses, which appeared, moved or vanished from OLD to NEW, and the largest difference between the traces.</source>
        <translation>Печатает события обеих записей, отсчитанные от зондирующих импульсов, какие из них появились, сместились или исчезли от OLD к NEW, и наибольшую разность рефлектограмм.</translation>
    </message>
    <message>
        <source>The earlier record file.</source>
        <translation>Более ранний файл записи.</translation>
    </message>
    <message>
        <source>The later record file.</source>
        <translation>Более поздний файл записи.</translation>
    </message>
    <message>
        <source>  cable: %1</source>
        <translation>  кабель: %1</translation>
    </message>
    <message>
        <source>  note: %1</source>
        <translation>  примечание: %1</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>не удалось прочитать %1</translation>
    </message>
    <message>
        <source>no such file: %1</source>
        <translation>нет такого файла: %1</translation>
    </message>
    <message>
        <source>  no label</source>
        <translation>  метки нет</translation>
    </message>
    <message>
        <source>Shows, sets or clears the cable label of record files. Labels are kept in varnel-labels.json in each file&apos;s folder, by the file&apos;s content; the record files are not changed.</source>
        <translation>Показывает, задаёт или снимает метку кабеля у файлов записей. Метки хранятся в varnel-labels.json в папке каждого файла, по содержимому файла; сами файлы записей не меняются.</translation>
    </message>
    <message>
        <source>label: the cable&apos;s name; empty removes it.</source>
        <translation>label: название кабеля; пустое значение убирает его.</translation>
    </message>
    <message>
        <source>label: a note; empty removes it.</source>
        <translation>label: примечание; пустое значение убирает его.</translation>
    </message>
    <message>
        <source>label: remove the label.</source>
        <translation>label: снять метку.</translation>
    </message>
    <message>
        <source>Commands:
  scan [--all]                          instruments in range
  info [DEVICE]                         the instrument&apos;s identity
  list [DEVICE]                         the records in the instrument
  download [DEVICE] [--all|--new|N...] [--to DIR]  records into *.tdr files
  upload [DEVICE] --slot N FILE...      files into record slots
  show FILE...                          a record file&apos;s metadata and events
  events FILE...                        a record file&apos;s events
  compare OLD NEW                       what changed between two records
  export FILE --csv [-o OUT]            a record file as CSV
  label FILE... [--cable NAME] [--note TEXT] [--clear]  cable labels
The Bluetooth stack is chosen by VARNEL_BLUETOOTH, as for the window.</source>
        <translation>Команды:
  scan [--all]                          приборы поблизости
  info [DEVICE]                         сведения о приборе
  list [DEVICE]                         записи в приборе
  download [DEVICE] [--all|--new|N...] [--to DIR]  записи в файлы *.tdr
  upload [DEVICE] --slot N FILE...      файлы в ячейки прибора
  show FILE...                          сведения и события из файла записи
  events FILE...                        события из файла записи
  compare OLD NEW                       что изменилось между двумя записями
  export FILE --csv [-o OUT]            файл записи в формате CSV
  label FILE... [--cable NAME] [--note TEXT] [--clear]  метки кабелей
Стек Bluetooth выбирается переменной VARNEL_BLUETOOTH, как и для окна.</translation>
    </message>
</context>
<context>
    <name>EventTable</name>
    <message>
        <source>Show markers</source>
        <translation>Показывать метки</translation>
    </message>
    <message>
        <source>Click an event to put the cursor on it</source>
        <translation>Щёлкните по событию, чтобы поставить на него курсор</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>№</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Вид</translation>
    </message>
    <message>
        <source>Strength</source>
        <translation>Сила</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>События</translation>
    </message>
    <message>
        <source>Events: %1</source>
        <translation>События: %1</translation>
    </message>
    <message>
        <source>Distance</source>
        <translation>Расстояние</translation>
    </message>
    <message>
        <source>No launch pulse: strengths are levels off the baseline, distances are from the start of the trace</source>
        <translation>Нет зондирующего импульса: сила указана в уровнях от базовой линии, расстояния отсчитаны от начала рефлектограммы</translation>
    </message>
    <message>
        <source>Compare with:</source>
        <translation>Сравнить с:</translation>
    </message>
    <message>
        <source>The trace whose events and difference are set against this one&apos;s; the earlier measurement counts as the older</source>
        <translation>Рефлектограмма, с событиями и разностью которой сравнивается эта; более раннее измерение считается старым</translation>
    </message>
    <message>
        <source>Events: %1 against the older %2</source>
        <translation>События: %1 против старой %2</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Изменение</translation>
    </message>
    <message>
        <source>%1: %2
%3: %4
The same place within %5 m</source>
        <translation>%1: %2
%3: %4
Одно и то же место с точностью %5 м</translation>
    </message>
    <message>
        <source>Only in %1</source>
        <translation>Только в %1</translation>
    </message>
    <message>
        <source>Nothing</source>
        <translation>Ни с чем</translation>
    </message>
</context>
<context>
    <name>InstrumentSession</name>
    <message>
        <source>Disconnected. Queued commands not carried out: %1.</source>
        <translation>Отключено. Не выполнено команд из очереди: %1.</translation>
    </message>
    <message>
        <source>The instrument does not answer. Commands not carried out: %1.</source>
        <translation>Прибор не отвечает. Не выполнено команд: %1.</translation>
    </message>
    <message>
        <source>The instrument sent an empty record; nothing was saved.</source>
        <translation>Прибор передал пустую запись; ничего не сохранено.</translation>
    </message>
    <message>
        <source>Record %1 could not be saved as &quot;%2&quot;: %3</source>
        <translation>Не удалось сохранить запись %1 в файл «%2»: %3</translation>
    </message>
    <message>
        <source>Disconnected. Records not downloaded: %1.</source>
        <translation>Отключено. Не загружено записей: %1.</translation>
    </message>
    <message>
        <source>Disconnected. Files not written: %1.</source>
        <translation>Отключено. Не записано файлов: %1.</translation>
    </message>
    <message>
        <source>The instrument does not answer. Records not downloaded: %1.</source>
        <translation>Прибор не отвечает. Не загружено записей: %1.</translation>
    </message>
    <message>
        <source>The instrument does not answer. Files not written: %1.</source>
        <translation>Прибор не отвечает. Не записано файлов: %1.</translation>
    </message>
    <message>
        <source>Download cancelled. Records saved: %1, not saved: %2.</source>
        <translation>Загрузка прервана. Сохранено записей: %1, не сохранено: %2.</translation>
    </message>
    <message>
        <source>Upload cancelled. Records written: %1, not written: %2.</source>
        <translation>Запись в прибор прервана. Записано: %1, не записано: %2.</translation>
    </message>
    <message>
        <source>Records not saved: %1 of %2. %3</source>
        <translation>Не сохранено записей: %1 из %2. %3</translation>
    </message>
    <message>
        <source>Records saved: %1.</source>
        <translation>Сохранено записей: %1.</translation>
    </message>
    <message>
        <source>Records written: %1.</source>
        <translation>Записано в прибор: %1.</translation>
    </message>
    <message>
        <source>Files not written: %1.</source>
        <translation>Файлы не записаны: %1.</translation>
    </message>
</context>
<context>
    <name>LabelBook</name>
    <message>
        <source>%1 is not a plain file</source>
        <translation>%1 — не обычный файл</translation>
    </message>
    <message>
        <source>%1 is too large for a label file</source>
        <translation>%1 слишком велик для файла меток</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>не удалось прочитать %1: %2</translation>
    </message>
    <message>
        <source>%1 is not a label file: %2</source>
        <translation>%1 — не файл меток: %2</translation>
    </message>
    <message>
        <source>not a JSON object</source>
        <translation>это не объект JSON</translation>
    </message>
    <message>
        <source>%1 is not a label file: its labels are not an object</source>
        <translation>%1 — не файл меток: метки в нём не объект</translation>
    </message>
    <message>
        <source>%1 was written by a newer version</source>
        <translation>%1 записан более новой версией</translation>
    </message>
    <message>
        <source>The labels were not changed: %1</source>
        <translation>Метки не изменены: %1</translation>
    </message>
    <message>
        <source>The labels were not changed: cannot read %1</source>
        <translation>Метки не изменены: не удалось прочитать %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удалось записать %1: %2</translation>
    </message>
</context>
<context>
    <name>LabelDialog</name>
    <message>
        <source>Cable Label</source>
        <translation>Метка кабеля</translation>
    </message>
    <message>
        <source>e.g. Feeder 3, phase L2</source>
        <translation>например, Фидер 3, фаза L2</translation>
    </message>
    <message>
        <source>&amp;Cable:</source>
        <translation>&amp;Кабель:</translation>
    </message>
    <message>
        <source>&amp;Note:</source>
        <translation>&amp;Примечание:</translation>
    </message>
    <message>
        <source>&amp;Remove Label</source>
        <translation>&amp;Снять метку</translation>
    </message>
</context>
<context>
    <name>LinkProblem</name>
    <message>
        <source>The instrument did not answer. Is it switched on and in range?</source>
        <translation>Прибор не ответил. Он включён и находится рядом?</translation>
    </message>
    <message>
        <source>The Bluetooth connection broke down. Bring the computer closer to the instrument and try again.</source>
        <translation>Соединение Bluetooth прервалось. Поднесите компьютер ближе к прибору и попробуйте снова.</translation>
    </message>
    <message>
        <source>The instrument closed the connection.</source>
        <translation>Прибор закрыл соединение.</translation>
    </message>
    <message>
        <source>This computer&apos;s Bluetooth cannot open the instrument&apos;s kind of connection (RFCOMM).</source>
        <translation>Bluetooth этого компьютера не поддерживает соединение того вида, что нужен прибору (RFCOMM).</translation>
    </message>
    <message>
        <source>The Bluetooth adapter refused the connection. Is Bluetooth switched on on this computer?</source>
        <translation>Адаптер Bluetooth отказал в соединении. Bluetooth на этом компьютере включён?</translation>
    </message>
    <message>
        <source>Bluetooth reported an unexpected error.</source>
        <translation>Bluetooth сообщил о непредвиденной ошибке.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Connect to last instrument (%1)</source>
        <translation>Подключиться к последнему прибору (%1)</translation>
    </message>
    <message>
        <source>Download running: %1 of %2 saved. Stop and quit?</source>
        <translation>Идёт загрузка: сохранено %1 из %2. Остановить и выйти?</translation>
    </message>
    <message>
        <source>Download running: %1 of %2 saved. Stop and disconnect?</source>
        <translation>Идёт загрузка: сохранено %1 из %2. Остановить и отключиться?</translation>
    </message>
    <message>
        <source>Upload running: %1 of %2 written. Stop and quit?</source>
        <translation>Идёт запись в прибор: записано %1 из %2. Остановить и выйти?</translation>
    </message>
    <message>
        <source>Upload running: %1 of %2 written. Stop and disconnect?</source>
        <translation>Идёт запись в прибор: записано %1 из %2. Остановить и отключиться?</translation>
    </message>
    <message>
        <source> - NOT in the working directory</source>
        <translation> — НЕТ в рабочем каталоге</translation>
    </message>
    <message>
        <source>The upload overwrites records the instrument holds:
%1</source>
        <translation>Запись в прибор заменит хранящиеся в нём записи:
%1</translation>
    </message>
    <message>
        <source>Records that are not in the working directory will be lost for good.</source>
        <translation>Записи, которых нет в рабочем каталоге, будут потеряны безвозвратно.</translation>
    </message>
    <message>
        <source>Overwrite them?</source>
        <translation>Заменить их?</translation>
    </message>
    <message>
        <source>Nothing was uploaded; the instrument&apos;s records stay as they were.</source>
        <translation>Ничего не записано; записи прибора остались прежними.</translation>
    </message>
    <message>
        <source>The instrument holds no records.</source>
        <translation>В приборе нет записей.</translation>
    </message>
    <message>
        <source>Varnel Reader</source>
        <translation>Varnel Reader</translation>
    </message>
    <message>
        <source>Records list:</source>
        <translation>Список записей:</translation>
    </message>
    <message>
        <source>Device info:</source>
        <translation>Сведения о приборе:</translation>
    </message>
    <message>
        <source>&lt;b&gt;COMPUTER&lt;/b&gt;</source>
        <translation>&lt;b&gt;КОМПЬЮТЕР&lt;/b&gt;</translation>
    </message>
    <message>
        <source>TDR Device</source>
        <translation>Рефлектометр</translation>
    </message>
    <message>
        <source>current Folder</source>
        <translation>текущая папка</translation>
    </message>
    <message>
        <source>File list:</source>
        <translation>Список файлов:</translation>
    </message>
    <message>
        <source>Working Directory:</source>
        <translation>Рабочая папка:</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Меню</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>Панель инструментов</translation>
    </message>
    <message>
        <source>Select Working Directory</source>
        <translation>Выбрать рабочую папку</translation>
    </message>
    <message>
        <source>Get Records List</source>
        <translation>Получить список записей</translation>
    </message>
    <message>
        <source>Load Selected</source>
        <translation>Загрузить выбранные</translation>
    </message>
    <message>
        <source>Upload Selected</source>
        <translation>Записать выбранные в прибор</translation>
    </message>
    <message>
        <source>Set Serial Number</source>
        <translation>Задать серийный номер</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключить</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>Сканировать</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Отключено</translation>
    </message>
    <message>
        <source>Cancel Transfer</source>
        <translation>Прервать передачу</translation>
    </message>
    <message>
        <source>View Waveforms</source>
        <translation>Просмотр рефлектограмм</translation>
    </message>
    <message>
        <source>%v of %m</source>
        <translation>%v из %m</translation>
    </message>
    <message>
        <source>Local Bluetooth Adapter not found.
Make sure the device is present and the drivers for it are installed correctly.
Press Retry to try again or Abort to exit application</source>
        <translation>Локальный адаптер Bluetooth не найден.
Убедитесь, что адаптер подключён и драйверы для него установлены правильно.
Нажмите «Повторить», чтобы попробовать снова, или «Прервать», чтобы выйти из программы</translation>
    </message>
    <message>
        <source>Connecting to </source>
        <translation>Подключение к </translation>
    </message>
    <message>
        <source>Disconnecting...</source>
        <translation>Отключение...</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation>Сканирование...</translation>
    </message>
    <message>
        <source>Anonymous</source>
        <translation>Без имени</translation>
    </message>
    <message>
        <source>discovery Finished</source>
        <translation>Сканирование завершено</translation>
    </message>
    <message>
        <source>TDR waveforms (*.tdr)</source>
        <translation>Рефлектограммы (*.tdr)</translation>
    </message>
    <message>
        <source>Connected to </source>
        <translation>Подключено к </translation>
    </message>
    <message>
        <source>Enter target record number</source>
        <translation>Номер записи в приборе</translation>
    </message>
    <message>
        <source>Record Number:</source>
        <translation>Номер записи:</translation>
    </message>
    <message>
        <source>Set Decice Serial Number </source>
        <translation>Задать серийный номер прибора </translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>Серийный номер:</translation>
    </message>
    <message>
        <source>Could not connect to %1: %2</source>
        <translation>Не удалось подключиться к %1: %2</translation>
    </message>
    <message>
        <source>Not connected to an instrument: nothing was uploaded.</source>
        <translation>Нет связи с прибором: ничего не записано.</translation>
    </message>
    <message>
        <source>Not connected to an instrument: nothing was sent.</source>
        <translation>Нет связи с прибором: ничего не отправлено.</translation>
    </message>
    <message>
        <source>Select New</source>
        <translation>Выбрать новые</translation>
    </message>
    <message>
        <source>Select the records that are not in the working directory</source>
        <translation>Выбрать записи, которых нет в рабочем каталоге</translation>
    </message>
    <message>
        <source>Already in the working directory</source>
        <translation>Уже есть в рабочем каталоге</translation>
    </message>
    <message>
        <source>Could not connect to the last instrument %1: %2</source>
        <translation>Не удалось подключиться к последнему прибору %1: %2</translation>
    </message>
    <message>
        <source>Asking the instrument for its record list...</source>
        <translation>Запрос списка записей у прибора...</translation>
    </message>
    <message>
        <source>Records not downloaded: %1 (%2).</source>
        <translation>Не загружено записей: %1 (%2).</translation>
    </message>
    <message>
        <source>The connection to %1 was lost during the download.</source>
        <translation>Соединение с %1 потеряно во время загрузки.</translation>
    </message>
    <message>
        <source>%1 stopped answering during the download.</source>
        <translation>%1 перестал отвечать во время загрузки.</translation>
    </message>
    <message>
        <source>The connection to %1 was lost.</source>
        <translation>Соединение с %1 потеряно.</translation>
    </message>
    <message>
        <source>Could not connect to the last instrument %1.</source>
        <translation>Не удалось подключиться к последнему прибору %1.</translation>
    </message>
    <message>
        <source>Could not connect to %1.</source>
        <translation>Не удалось подключиться к %1.</translation>
    </message>
    <message>
        <source>No instrument found.</source>
        <translation>Приборы не найдены.</translation>
    </message>
    <message>
        <source>Is it switched on and in range? Scan again to look once more.</source>
        <translation>Прибор включён и находится рядом? Нажмите «Сканировать», чтобы поискать ещё раз.</translation>
    </message>
    <message>
        <source>Resume the download</source>
        <translation>Продолжить загрузку</translation>
    </message>
    <message>
        <source>Reconnect and resume</source>
        <translation>Подключиться и продолжить</translation>
    </message>
    <message>
        <source>Disconnect first: the records are to come from %1.</source>
        <translation>Сначала отключитесь: записи должны прийти от %1.</translation>
    </message>
    <message>
        <source>The instrument no longer holds the records that were not downloaded (%1).</source>
        <translation>В приборе больше нет незагруженных записей (%1).</translation>
    </message>
    <message>
        <source>Check Uploads by Reading Back</source>
        <translation>Проверять запись чтением</translation>
    </message>
    <message>
        <source>After an upload, read each written record again and compare it with the file</source>
        <translation>После записи прочитать каждую записанную запись и сравнить её с файлом</translation>
    </message>
    <message>
        <source>%1 → slot %2</source>
        <translation>%1 → ячейка %2</translation>
    </message>
    <message>
        <source>%1 → slot %2, replacing the record of %3</source>
        <translation>%1 → ячейка %2, вместо записи от %3</translation>
    </message>
    <message>
        <source>Overwrite 1 record</source>
        <translation>Перезаписать 1 запись</translation>
    </message>
    <message>
        <source>Overwrite %1 records</source>
        <translation>Перезаписать записей: %1</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Slots %1 to %2.</source>
        <translation>Ячейки с %1 по %2.</translation>
    </message>
    <message>
        <source>Main event: %1</source>
        <translation>Главное событие: %1</translation>
    </message>
    <message>
        <source>Filter by name, cable or note</source>
        <translation>Отбор по имени, кабелю или примечанию</translation>
    </message>
    <message>
        <source>Cable: %1</source>
        <translation>Кабель: %1</translation>
    </message>
    <message>
        <source>Note: %1</source>
        <translation>Примечание: %1</translation>
    </message>
</context>
<context>
    <name>Measurement</name>
    <message>
        <source>%1 m</source>
        <translation>%1 м</translation>
    </message>
    <message>
        <source>Click on the plot to place the cursor; right-click or Shift+click places the reference.</source>
        <translation>Щёлкните по графику, чтобы поставить курсор; правая кнопка или Shift+щелчок ставят опорный курсор.</translation>
    </message>
    <message>
        <source>Cursor: %1 (sample %2)</source>
        <translation>Курсор: %1 (отсчёт %2)</translation>
    </message>
    <message>
        <source>level %1</source>
        <translation>уровень %1</translation>
    </message>
    <message>
        <source>Reference: %1</source>
        <translation>Опорный: %1</translation>
    </message>
    <message>
        <source>Δ: %1</source>
        <translation>Δ: %1</translation>
    </message>
    <message>
        <source>&lt;b&gt;Cursor&lt;/b&gt; %1 &lt;span style=&apos;color:#868e96&apos;&gt;(sample %2)&lt;/span&gt;</source>
        <translation>&lt;b&gt;Курсор&lt;/b&gt; %1 &lt;span style=&apos;color:#868e96&apos;&gt;(отсчёт %2)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>level &lt;b&gt;%1&lt;/b&gt;</source>
        <translation>уровень &lt;b&gt;%1&lt;/b&gt;</translation>
    </message>
    <message>
        <source>&lt;b&gt;Ref&lt;/b&gt; %1</source>
        <translation>&lt;b&gt;Опорный&lt;/b&gt; %1</translation>
    </message>
    <message>
        <source>&lt;b&gt;Δ %1&lt;/b&gt;</source>
        <translation>&lt;b&gt;Δ %1&lt;/b&gt;</translation>
    </message>
    <message>
        <source>%1 · level %2</source>
        <translation>%1 · уровень %2</translation>
    </message>
    <message>
        <source>ends before the cursor</source>
        <translation>кончается до курсора</translation>
    </message>
    <message>
        <source>%1 (sample %2)</source>
        <translation>%1 (отсчёт %2)</translation>
    </message>
</context>
<context>
    <name>NoticeBar</name>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
</context>
<context>
    <name>OutputFile</name>
    <message>
        <source>cannot remove the link in its place: %1</source>
        <translation>не удаётся удалить ссылку на его месте: %1</translation>
    </message>
    <message>
        <source>not a regular file, a FIFO or a character device</source>
        <translation>не обычный файл, не FIFO и не символьное устройство</translation>
    </message>
    <message>
        <source>no one reads the FIFO</source>
        <translation>FIFO никто не читает</translation>
    </message>
    <message>
        <source>the file changed while it was opened</source>
        <translation>файл изменился, пока его открывали</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>не обычный файл</translation>
    </message>
    <message>
        <source>a link was put in its place while it was written</source>
        <translation>пока он записывался, на его место поставили ссылку</translation>
    </message>
    <message>
        <source>only %1 of %2 bytes were taken</source>
        <translation>принято только %1 байт из %2</translation>
    </message>
</context>
<context>
    <name>RecordStore</name>
    <message>
        <source>&quot;%1&quot; (not a record file)</source>
        <translation>«%1» (не файл записи)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; (%2)</source>
        <translation>«%1» (%2)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; (unknown range)</source>
        <translation>«%1» (неизвестный диапазон)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; (bad distance step)</source>
        <translation>«%1» (неверный шаг по расстоянию)</translation>
    </message>
</context>
<context>
    <name>ReportDialog</name>
    <message>
        <source>May be left empty</source>
        <translation>Можно оставить пустым</translation>
    </message>
    <message>
        <source>&amp;Technician:</source>
        <translation>&amp;Исполнитель:</translation>
    </message>
    <message>
        <source>&amp;Site:</source>
        <translation>&amp;Объект:</translation>
    </message>
    <message>
        <source>&amp;Note:</source>
        <translation>&amp;Примечание:</translation>
    </message>
</context>
<context>
    <name>ReportWriter</name>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Прибор</translation>
    </message>
    <message>
        <source>model %1, serial number %2</source>
        <translation>модель %1, серийный номер %2</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Запись</translation>
    </message>
    <message>
        <source>not known</source>
        <translation>неизвестно</translation>
    </message>
    <message>
        <source>Measured</source>
        <translation>Измерено</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>Диапазон</translation>
    </message>
    <message>
        <source>%1 m</source>
        <translation>%1 м</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Длина</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>Шаг</translation>
    </message>
    <message>
        <source>Traces on the plot</source>
        <translation>Кривых на графике</translation>
    </message>
    <message>
        <source>Reflectogram report: %1</source>
        <translation>Отчёт по рефлектограмме: %1</translation>
    </message>
    <message>
        <source>Reflectogram report</source>
        <translation>Отчёт по рефлектограмме</translation>
    </message>
    <message>
        <source>No events above the noise</source>
        <translation>Событий выше уровня шума нет</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>События</translation>
    </message>
    <message>
        <source>… and %1 more</source>
        <translation>… и ещё %1</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Примечание</translation>
    </message>
    <message>
        <source>Varnel Reader</source>
        <translation>Varnel Reader</translation>
    </message>
    <message>
        <source>Cable</source>
        <translation>Кабель</translation>
    </message>
    <message>
        <source>not labelled</source>
        <translation>не указан</translation>
    </message>
    <message>
        <source>Cable note</source>
        <translation>Примечание к кабелю</translation>
    </message>
    <message>
        <source>Technician</source>
        <translation>Исполнитель</translation>
    </message>
    <message>
        <source>Site</source>
        <translation>Объект</translation>
    </message>
</context>
<context>
    <name>TDRServer</name>
    <message>
        <source>Varnel Server</source>
        <translation>Varnel Server</translation>
    </message>
    <message>
        <source>Varnel server</source>
        <translation>Сервер Varnel</translation>
    </message>
    <message>
        <source>halvern-instruments.example</source>
        <translation>halvern-instruments.example</translation>
    </message>
</context>
<context>
    <name>Trace</name>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation>Не удалось прочитать %1: %2.</translation>
    </message>
    <message>
        <source>%1 is not a TDR record: it has %2 bytes, a record has %3.</source>
        <translation>%1 не является записью рефлектометра: размер %2 байт, а у записи %3.</translation>
    </message>
    <message>
        <source>%1 is empty: a TDR record has %2 bytes.</source>
        <translation>Файл %1 пуст, а запись рефлектометра занимает %2 байт.</translation>
    </message>
    <message>
        <source>%1 has no usable distance step (%2 m): its samples cannot be placed against distance.</source>
        <translation>В %1 недопустимый шаг по расстоянию (%2 м): отсчёты невозможно привязать к расстоянию.</translation>
    </message>
    <message>
        <source>%1 %2 · range %3 m · length %4 m · step %5 m · sn %6</source>
        <translation>%1 %2 · диапазон %3 м · длина %4 м · шаг %5 м · с/н %6</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 не является обычным файлом.</translation>
    </message>
</context>
<context>
    <name>TraceComparison</name>
    <message>
        <source>A trace has no samples to compare.</source>
        <translation>В рефлектограмме нет отсчётов для сравнения.</translation>
    </message>
    <message>
        <source>%1 has no launch pulse: the traces cannot be aligned and are not compared.</source>
        <translation>В %1 нет зондирующего импульса: рефлектограммы нельзя совместить, и они не сравниваются.</translation>
    </message>
    <message>
        <source>The traces cover no common distance.</source>
        <translation>У рефлектограмм нет общего участка расстояний.</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>без изменений</translation>
    </message>
    <message>
        <source>moved +%1 m</source>
        <translation>сместилось на +%1 м</translation>
    </message>
    <message>
        <source>moved −%1 m</source>
        <translation>сместилось на −%1 м</translation>
    </message>
    <message>
        <source>appeared</source>
        <translation>появилось</translation>
    </message>
    <message>
        <source>vanished</source>
        <translation>исчезло</translation>
    </message>
</context>
<context>
    <name>TraceEvent</name>
    <message>
        <source>Open</source>
        <translation>Обрыв</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Замыкание</translation>
    </message>
    <message>
        <source>Minor, higher</source>
        <translation>Слабое, выше</translation>
    </message>
    <message>
        <source>Minor, lower</source>
        <translation>Слабое, ниже</translation>
    </message>
    <message>
        <source>Cable end (open)</source>
        <translation>Конец кабеля (обрыв)</translation>
    </message>
    <message>
        <source>Cable end (short)</source>
        <translation>Конец кабеля (замыкание)</translation>
    </message>
    <message>
        <source>Echo</source>
        <translation>Эхо</translation>
    </message>
    <message>
        <source>%1 m ± %2 m</source>
        <translation>%1 м ± %2 м</translation>
    </message>
    <message>
        <source>%1 levels</source>
        <translation>%1 уровней</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
</context>
<context>
    <name>UploadCheck</name>
    <message>
        <source>Not confirmed by the instrument: slot %1.</source>
        <translation>Прибор не подтвердил запись: ячейка %1.</translation>
    </message>
    <message>
        <source>Not confirmed by the instrument: slots %1.</source>
        <translation>Прибор не подтвердил запись: ячейки %1.</translation>
    </message>
    <message>
        <source>The instrument stored slot %1 with its own date and time.</source>
        <translation>Прибор сохранил ячейку %1 со своими датой и временем.</translation>
    </message>
    <message>
        <source>The instrument stored slots %1 with its own date and time.</source>
        <translation>Прибор сохранил ячейки %1 со своими датой и временем.</translation>
    </message>
    <message>
        <source>Read back different from what was sent: slot %1.</source>
        <translation>Прочитанное отличается от записанного: ячейка %1.</translation>
    </message>
    <message>
        <source>Read back different from what was sent: slots %1.</source>
        <translation>Прочитанное отличается от записанного: ячейки %1.</translation>
    </message>
    <message>
        <source>Read back and identical: %1.</source>
        <translation>Прочитано и совпадает: %1.</translation>
    </message>
    <message>
        <source>Not read back: %1.</source>
        <translation>Не прочитано: %1.</translation>
    </message>
</context>
<context>
    <name>UploadPlan</name>
    <message>
        <source>Skipped: %1.</source>
        <translation>Пропущены: %1.</translation>
    </message>
    <message>
        <source>Files left out, there is no record slot after %1: %2.</source>
        <translation>Файлы не записаны, в приборе нет записей после номера %1: %2.</translation>
    </message>
</context>
<context>
    <name>WaveformWindow</name>
    <message>
        <source>%1 m</source>
        <translation>%1 м</translation>
    </message>
    <message>
        <source>Distance, m</source>
        <translation>Расстояние, м</translation>
    </message>
    <message>
        <source>Signal level</source>
        <translation>Уровень сигнала</translation>
    </message>
    <message>
        <source>Waveforms</source>
        <translation>Рефлектограммы</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Обновить</translation>
    </message>
    <message>
        <source>Read the folder&apos;s files again</source>
        <translation>Заново прочитать файлы папки</translation>
    </message>
    <message>
        <source>Reset &amp;Zoom</source>
        <translation>&amp;Сбросить масштаб</translation>
    </message>
    <message>
        <source>Show the whole trace (Home)</source>
        <translation>Показать всю рефлектограмму (Home)</translation>
    </message>
    <message>
        <source>Set &amp;Reference</source>
        <translation>&amp;Опорный курсор</translation>
    </message>
    <message>
        <source>Put the reference at the cursor to measure the distance between two points</source>
        <translation>Поставить опорный курсор на место курсора, чтобы измерить расстояние между двумя точками</translation>
    </message>
    <message>
        <source>&amp;Clear Cursors</source>
        <translation>&amp;Убрать курсоры</translation>
    </message>
    <message>
        <source>Export &amp;CSV...</source>
        <translation>Экспорт в &amp;CSV...</translation>
    </message>
    <message>
        <source>Save the trace as distance and value columns</source>
        <translation>Сохранить рефлектограмму в виде столбцов «расстояние» и «значение»</translation>
    </message>
    <message>
        <source>Export &amp;Image...</source>
        <translation>Экспорт &amp;изображения...</translation>
    </message>
    <message>
        <source>Save the plot as a PNG image</source>
        <translation>Сохранить график как изображение PNG</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Закрыть</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>Drag to zoom, wheel to zoom the distance, click to place the cursor, right-click to place the reference</source>
        <translation>Выделите область, чтобы увеличить; колесо меняет масштаб по расстоянию; щелчок ставит курсор, правый щелчок — опорный курсор</translation>
    </message>
    <message>
        <source>Waveforms - %1</source>
        <translation>Рефлектограммы - %1</translation>
    </message>
    <message>
        <source>There are no *.tdr files in this folder yet.</source>
        <translation>В этой папке пока нет файлов *.tdr.</translation>
    </message>
    <message>
        <source>Select one or more files to see their waveforms.</source>
        <translation>Выберите один или несколько файлов, чтобы увидеть их рефлектограммы.</translation>
    </message>
    <message numerus="yes">
        <source>%n records</source>
        <translation>
            <numerusform>%n запись</numerusform>
            <numerusform>%n записи</numerusform>
            <numerusform>%n записей</numerusform>
        </translation>
    </message>
    <message>
        <source>range %1 m</source>
        <translation>диапазон %1 м</translation>
    </message>
    <message>
        <source>step %1 m</source>
        <translation>шаг %1 м</translation>
    </message>
    <message>
        <source>sn %1</source>
        <translation>с/н %1</translation>
    </message>
    <message>
        <source>Place the cursor first: click on the plot.</source>
        <translation>Сначала поставьте курсор: щёлкните по графику.</translation>
    </message>
    <message>
        <source>Ref</source>
        <translation>Оп.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Не удалось записать %1: %2</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>Сохранено: %1</translation>
    </message>
    <message>
        <source>Export %1 as CSV</source>
        <translation>Экспорт %1 в CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Файлы CSV (*.csv)</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>Экспорт в CSV</translation>
    </message>
    <message>
        <source>waveforms</source>
        <translation>рефлектограммы</translation>
    </message>
    <message>
        <source>Export Image</source>
        <translation>Экспорт изображения</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>Изображения PNG (*.png)</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>События</translation>
    </message>
    <message>
        <source>Export Report</source>
        <translation>Экспорт отчёта</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>Файлы PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Print Report</source>
        <translation>Печать отчёта</translation>
    </message>
    <message>
        <source>Open Waveforms</source>
        <translation>Открыть рефлектограммы</translation>
    </message>
    <message>
        <source>TDR waveforms (*.tdr)</source>
        <translation>Рефлектограммы TDR (*.tdr)</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Открыть папку</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>&amp;Открыть...</translation>
    </message>
    <message>
        <source>Open one or more *.tdr files</source>
        <translation>Открыть один или несколько файлов *.tdr</translation>
    </message>
    <message>
        <source>Open &amp;Folder...</source>
        <translation>Открыть &amp;папку...</translation>
    </message>
    <message>
        <source>Export &amp;Report...</source>
        <translation>Экспорт &amp;отчёта...</translation>
    </message>
    <message>
        <source>Save a one-page PDF report of the trace and its events</source>
        <translation>Сохранить одностраничный отчёт PDF о кривой и её событиях</translation>
    </message>
    <message>
        <source>&amp;Print Report...</source>
        <translation>&amp;Печать отчёта...</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>Курсор</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Событий нет</translation>
    </message>
    <message>
        <source>Main event: %1</source>
        <translation>Главное событие: %1</translation>
    </message>
    <message>
        <source>By name</source>
        <translation>По имени</translation>
    </message>
    <message>
        <source>By date, newest first</source>
        <translation>По дате, сначала новые</translation>
    </message>
    <message>
        <source>By distance to the first fault</source>
        <translation>По расстоянию до первого повреждения</translation>
    </message>
    <message>
        <source>The order of the files</source>
        <translation>Порядок файлов</translation>
    </message>
    <message>
        <source>Export &amp;Overlay Report...</source>
        <translation>Экспорт отчёта с &amp;наложением...</translation>
    </message>
    <message>
        <source>Save a one-page PDF report of the shown traces overlaid</source>
        <translation>Сохранить одностраничный отчёт PDF с наложенными рефлектограммами</translation>
    </message>
    <message>
        <source>Difference, levels</source>
        <translation>Разность, уровни</translation>
    </message>
    <message>
        <source>Difference %1 − %2</source>
        <translation>Разность %1 − %2</translation>
    </message>
    <message>
        <source>%1 (every %2 m)</source>
        <translation>%1 (через %2 м)</translation>
    </message>
    <message>
        <source>Add Waveforms</source>
        <translation>Добавить рефлектограммы</translation>
    </message>
    <message>
        <source>in %1 · %2</source>
        <translation>в %1 · %2</translation>
    </message>
    <message>
        <source>&amp;Add Files...</source>
        <translation>&amp;Добавить файлы...</translation>
    </message>
    <message>
        <source>Overlay *.tdr files from any folder on the shown traces</source>
        <translation>Наложить файлы *.tdr из любой папки на показанные рефлектограммы</translation>
    </message>
    <message>
        <source>Re&amp;move from List</source>
        <translation>&amp;Убрать из списка</translation>
    </message>
    <message>
        <source>Take the selected files added from other folders off the list</source>
        <translation>Убрать из списка выбранные файлы, добавленные из других папок</translation>
    </message>
    <message>
        <source>Select several files with Ctrl or Shift to overlay them; File &gt; Add Files adds files from other folders</source>
        <translation>Выберите несколько файлов с Ctrl или Shift, чтобы наложить их; Файл &gt; Добавить файлы добавляет файлы из других папок</translation>
    </message>
    <message>
        <source>Filter by name, cable, note or event</source>
        <translation>Отбор по имени, кабелю, примечанию или событию</translation>
    </message>
    <message>
        <source>&amp;Label Cable...</source>
        <translation>&amp;Метка кабеля...</translation>
    </message>
    <message>
        <source>Say which cable the selected files measured</source>
        <translation>Указать, какой кабель измерен в выбранных файлах</translation>
    </message>
    <message>
        <source>Cable: %1</source>
        <translation>Кабель: %1</translation>
    </message>
    <message>
        <source>Note: %1</source>
        <translation>Примечание: %1</translation>
    </message>
    <message>
        <source>Cable not labelled</source>
        <translation>Кабель не указан</translation>
    </message>
    <message numerus="yes">
        <source>Label removed from %n file(s)</source>
        <translation>
            <numerusform>Метка снята с %n файла</numerusform>
            <numerusform>Метка снята с %n файлов</numerusform>
            <numerusform>Метка снята с %n файлов</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Labelled %n file(s) &quot;%1&quot;</source>
        <translation>
            <numerusform>Кабель «%1» указан для %n файла</numerusform>
            <numerusform>Кабель «%1» указан для %n файлов</numerusform>
            <numerusform>Кабель «%1» указан для %n файлов</numerusform>
        </translation>
    </message>
    <message>
        <source>Cable Label</source>
        <translation>Метка кабеля</translation>
    </message>
    <message>
        <source>The labels cannot be changed: %1</source>
        <translation>Метки нельзя изменить: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n файл</numerusform>
            <numerusform>%n файла</numerusform>
            <numerusform>%n файлов</numerusform>
        </translation>
    </message>
    <message>
        <source>By cable</source>
        <translation>По кабелю</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Reads a Varnel TDR over Bluetooth: scans for instruments, shows the identity of the one you connect to, downloads its records into *.tdr files in a working directory, uploads files back into record slots and shows the waveforms.

Environment:
  VARNEL_BLUETOOTH  the Bluetooth stack: &quot;qt&quot; (the default, the computer&apos;s adapter through BlueZ), &quot;emulator&quot; (a built-in demo instrument) or &quot;emulator:SCENE.json&quot;.
The Russian interface comes from Varnel_Reader_ru.qm in the current directory, or else from the installed translation when the desktop&apos;s language is Russian.</source>
        <translation>Читает рефлектометр Varnel по Bluetooth: ищет приборы, показывает сведения о подключённом приборе, загружает его записи в файлы *.tdr в рабочей папке, записывает файлы обратно в ячейки записей и показывает рефлектограммы.

Окружение:
  VARNEL_BLUETOOTH  стек Bluetooth: &quot;qt&quot; (по умолчанию, адаптер компьютера через BlueZ), &quot;emulator&quot; (встроенный демонстрационный прибор) или &quot;emulator:SCENE.json&quot;.
Русский интерфейс берётся из файла Varnel_Reader_ru.qm в текущей папке, а если его там нет, из установленного перевода, когда язык рабочего стола русский.</translation>
    </message>
    <message>
        <source>Shows TDR waveform files (*.tdr).</source>
        <translation>Показывает файлы рефлектограмм TDR (*.tdr).</translation>
    </message>
    <message>
        <source>Files or folders to open.</source>
        <translation>Открываемые файлы или папки.</translation>
    </message>
    <message>
        <source>Write a PDF report of the files and quit.</source>
        <translation>Записать отчёт PDF по файлам и выйти.</translation>
    </message>
    <message>
        <source>The report&apos;s note.</source>
        <translation>Примечание к отчёту.</translation>
    </message>
    <message>
        <source>No report written: it needs record files (*.tdr).</source>
        <translation>Отчёт не записан: нужны файлы записей (*.tdr).</translation>
    </message>
    <message>
        <source>One report page of the files overlaid, instead of a page for each file.</source>
        <translation>Одна страница отчёта с наложенными файлами вместо страницы на каждый файл.</translation>
    </message>
    <message>
        <source>The report&apos;s technician (default: the one given last in the viewer&apos;s report dialog).</source>
        <translation>Исполнитель в отчёте (по умолчанию тот, что указан последним в окне отчёта просмотрщика).</translation>
    </message>
    <message>
        <source>The report&apos;s site (default: the one given last in the viewer&apos;s report dialog).</source>
        <translation>Объект в отчёте (по умолчанию тот, что указан последним в окне отчёта просмотрщика).</translation>
    </message>
</context>
</TS>
